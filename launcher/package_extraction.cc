#include "launcher/package_extraction.h"

#include "launcher/archive_reader.h"
#include "launcher/contained_path.h"

bool UnzipPackage(const wxString& stem, bool isTre, const PackageProgress& progress) {
  const wxString nativeStem = NativeSeparators(stem);
  std::unique_ptr<ArchiveReader> reader =
      ArchiveReader::Open(nativeStem + (isTre ? ".tre" : ".upd"));
  if (!reader) return false;
  SetLastArchiveResult(reader->SetBaseDir(nativeStem));

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
