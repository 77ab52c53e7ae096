#include "launcher/package_extraction.h"

#include "launcher/archive_reader.h"

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
  std::unique_ptr<ArchiveReader> reader =
      ArchiveReader::Open(plainStem + (isTre ? ".tre" : ".upd"));
  if (!reader) return false;
  SetLastArchiveResult(reader->SetBaseDir(plainStem));

  ArchiveEntry countAnswer;
  SetLastArchiveResult(reader->GetItem(-1, countAnswer));
  const int32_t count = countAnswer.index;
  for (int32_t index = 0; index < count; ++index) {
    ArchiveEntry entry;
    SetLastArchiveResult(reader->GetItem(index, entry));
    SetLastArchiveResult(reader->ExtractItem(index, entry.name));
    if (progress) progress(static_cast<float>((index + 1) * 100.0 / count));
  }
  SetLastArchiveResult(reader->Close());
  return true;
}
