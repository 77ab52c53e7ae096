#include "launcher/packages/package_extraction.h"

#include "launcher/packages/archive_reader.h"
#include "launcher/packages/delete_directory.h"
#include "platform/files.h"

namespace {

// The stem as the status callback passes it has every backslash doubled;
// this gives back the path it was made from. On this system a backslash is
// an ordinary character of a file name, so nothing else is changed.
wxString UndoubledBackslashes(const wxString& stem) {
  wxString plain;
  plain.reserve(stem.length());
  for (size_t at = 0; at < stem.length(); ++at) {
    plain += stem[at];
    if (stem[at] == '\\' && at + 1 < stem.length() && stem[at + 1] == '\\') ++at;
  }
  return plain;
}

}  // namespace

bool UnzipPackage(const wxString& stem, bool isTre, const PackageProgress& progress) {
  const wxString plainStem = UndoubledBackslashes(stem);
  if (plainStem.empty() || plainStem.EndsWith(wxString(platform::kPathSeparator))) return false;
  std::unique_ptr<ArchiveReader> reader =
      ArchiveReader::Open(plainStem + (isTre ? ".tre" : ".upd"));
  if (!reader) return false;
  // Nothing a killed run left there may be installed with this package.
  if (platform::DirectoryExists(plainStem.utf8_string()) && !DeleteDirectory(plainStem)) {
    return false;
  }
  SetLastArchiveResult(reader->SetBaseDir(plainStem));
  reader->StartInflatingAhead();
  bool allEntries = !reader->EntriesMissing();

  ArchiveEntry countAnswer;
  SetLastArchiveResult(reader->GetItem(-1, countAnswer));
  const int32_t count = countAnswer.index;
  for (int32_t index = 0; index < count; ++index) {
    ArchiveEntry entry;
    uint32_t result = reader->GetItem(index, entry);
    SetLastArchiveResult(result);
    if (result == archive_result::kOk) result = reader->ExtractItem(index, entry.name);
    SetLastArchiveResult(result);
    allEntries = allEntries && result == archive_result::kOk;
    if (progress) progress(static_cast<float>((index + 1) * 100.0 / count));
  }
  SetLastArchiveResult(reader->Close());
  return allEntries;
}
