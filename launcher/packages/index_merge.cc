#include "launcher/packages/index_merge.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

#include "launcher/packages/index_file.h"
#include "launcher/system/file_replace.h"
#include "launcher/system/run_log.h"
#include "platform/file_descriptor.h"
#include "platform/files.h"

using platform::FileDescriptor;
using platform::ReadAt;
using platform::WriteAt;

namespace {

constexpr uint64_t kLargestDataFile = std::numeric_limits<uint32_t>::max();

FileDescriptor OpenExisting(const wxString& path, int flags) {
  const std::string file = path.utf8_string();
  if (!platform::FileExists(file)) return FileDescriptor(-1);
  return FileDescriptor(open(file.c_str(), flags | O_CLOEXEC));
}

bool FileSize(int fd, uint64_t& size) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return false;
  size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool WriteLe32At(int fd, int64_t position, uint32_t value) {
  unsigned char bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
  return WriteAt(fd, static_cast<uint64_t>(position), bytes, sizeof bytes);
}

bool WriteLe16At(int fd, int64_t position, uint16_t value) {
  const unsigned char bytes[2] = {static_cast<unsigned char>(value),
                                  static_cast<unsigned char>(value >> 8)};
  return WriteAt(fd, static_cast<uint64_t>(position), bytes, sizeof bytes);
}

// Rewrites an installed record in place from a patch record: the offset
// first when one is given, then length and the four extra values.
bool RewriteRecord(int indexFd, const IndexRecord20& installed, const IndexRecord24& patch,
                   const uint32_t* newOffset) {
  if (newOffset && !WriteLe32At(indexFd, installed.offsetPos, *newOffset)) return false;
  return WriteLe32At(indexFd, installed.lengthPos, patch.length) &&
         WriteLe16At(indexFd, installed.extraAPos, patch.extraA) &&
         WriteLe16At(indexFd, installed.extraBPos, patch.extraB) &&
         WriteLe32At(indexFd, installed.extraCPos, patch.extraC) &&
         WriteLe32At(indexFd, installed.extraDPos, patch.extraD);
}

// Takes a patch record's length and extra values into an installed record,
// leaving its offset and the file positions of its fields alone.
void TakeValues(const IndexRecord24& patch, IndexRecord20& installed) {
  installed.length = patch.length;
  installed.extraA = patch.extraA;
  installed.extraB = patch.extraB;
  installed.extraC = patch.extraC;
  installed.extraD = patch.extraD;
}

// A patch record as an installed record whose bytes lie at `offset`.
IndexRecord20 AsInstalledRecord(const IndexRecord24& patch, uint32_t offset) {
  IndexRecord20 record;
  record.offset = offset;
  TakeValues(patch, record);
  return record;
}

// Appends a 20-byte record at `position` (the end of the index's whole
// records, so that a partial record left at the end cannot shift the ones
// that follow) and moves `position` past it.
bool AppendRecord(int indexFd, uint64_t& position, const IndexRecord24& patch, uint32_t offset) {
  unsigned char bytes[kInstalledRecordSize];
  EncodeInstalledRecord(AsInstalledRecord(patch, offset), bytes);
  if (!WriteAt(indexFd, position, bytes, sizeof bytes)) return false;
  position += kInstalledRecordSize;
  return true;
}

// Copies `length` bytes from `fromAt` in one file to `toAt` in another, a
// piece at a time: an entry may be far larger than is wise to hold whole.
bool CopyRange(int fromFd, uint64_t fromAt, int toFd, uint64_t toAt, uint64_t length) {
  char buffer[65536];
  for (uint64_t done = 0; done < length;) {
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(sizeof buffer, length - done));
    if (!ReadAt(fromFd, fromAt + done, buffer, piece) ||
        !WriteAt(toFd, toAt + done, buffer, piece)) {
      return false;
    }
    done += piece;
  }
  return true;
}

uint64_t EndOfRecords(const IndexFile& installed) {
  return kIndexHeaderSize + static_cast<uint64_t>(installed.count) * kInstalledRecordSize;
}

// The path up to its last "." (the data file of an index file).
wxString DataFileOf(const wxString& indexPath) {
  const size_t dot = indexPath.find_last_of('.');
  return dot == wxString::npos ? indexPath : indexPath.substr(0, dot);
}

// How a record's offset is installed by InstallConvertedIndex.
enum class OffsetRule { kDetach, kKeep };

// The package's patch index installed where no installed index exists yet:
// its header, then each record as an installed record, so that later merges
// read it as installed records. The offset is 0xFFFFFFFF (kDetach) or, when
// the package's data file is installed whole beside it, the record's own
// (kKeep).
bool InstallConvertedIndex(const wxString& installedIndex, const wxString& packageIndex,
                           OffsetRule offsets) try {
  IndexFile patch(packageIndex);
  if (!patch.LoadPatch()) {
    // A file too short for a header is no index to convert: it goes as it
    // is. One too large to read installs nothing.
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(packageIndex.utf8_string(), error);
    if (error || size >= kIndexHeaderSize) return false;
    return CopyFileReplacing(packageIndex, installedIndex);
  }
  std::ifstream in(packageIndex.utf8_string(), std::ios::binary);
  std::string bytes(kIndexHeaderSize, '\0');
  if (!in.read(bytes.data(), kIndexHeaderSize)) return false;
  for (const IndexRecord24& record : patch.Patch()) {
    unsigned char encoded[kInstalledRecordSize];
    const uint32_t offset = offsets == OffsetRule::kKeep ? record.offset : kDetachedOffset;
    EncodeInstalledRecord(AsInstalledRecord(record, offset), encoded);
    bytes.append(reinterpret_cast<const char*>(encoded), sizeof encoded);
  }
  return WriteFileReplacing(installedIndex, bytes);
} catch (const std::bad_alloc&) {
  return false;  // the converted index does not fit in memory: nothing installed
}

}  // namespace

bool MergeLoginData(const wxString& packageIndex, RunLogHandle& log,
                    const wxString& installedIndex) {
  const wxString packageData = DataFileOf(packageIndex);
  const wxString installedData = DataFileOf(installedIndex);
  if (!platform::FileExists(installedData.utf8_string())) {
    // The package's data file becomes the installed one, so its records
    // keep their offsets; only their form changes to installed records.
    if (CopyFileReplacing(packageData, installedData) &&
        InstallConvertedIndex(installedIndex, packageIndex, OffsetRule::kKeep)) {
      return true;
    }
    RUNLOG_ERROR(log, 2352, " in pathList.xml %s may be config error! or %s file not exsited ",
                 packageData, packageIndex);
    return false;
  }
  if (!platform::FileExists(packageIndex.utf8_string())) {
    RUNLOG_ERROR(log, 2363, "  %s file not exsited ", packageIndex);
    return false;
  }
  if (!platform::FileExists(installedIndex.utf8_string())) {
    RUNLOG_ERROR(log, 2370, "%s file not exsited ", installedIndex);
    return false;
  }
  IndexFile installed(installedData, installedIndex);
  IndexFile patch(packageData, packageIndex);
  // A package index whose records reach outside its data file counts as a
  // load error too: nothing is merged from it.
  if (!installed.LoadInstalledForData() || !patch.LoadPatchForData() ||
      !MergeDataAndIndex(patch, installed)) {
    RUNLOG_ERROR(log, 2383, "%s file or %s file load error ,may be the file format wrong! ",
                 installedIndex, packageIndex);
    return false;
  }
  return true;
}

bool MergeDataAndIndex(const IndexFile& patch, IndexFile& installed) {
  FileDescriptor packageData = OpenExisting(patch.name, O_RDONLY);
  FileDescriptor installedData = OpenExisting(installed.name, O_RDWR);
  FileDescriptor installedIndex = OpenExisting(installed.indexPath, O_RDWR);
  if (!packageData.ok() || !installedData.ok() || !installedIndex.ok()) return false;

  uint64_t packageSize = 0;
  uint64_t dataSize = 0;
  if (!FileSize(packageData.get(), packageSize) || !FileSize(installedData.get(), dataSize)) {
    return false;
  }
  // Check every record before anything is written, so that a broken package
  // leaves the installed files as they were.
  const std::vector<IndexRecord24>& records = patch.Patch();
  uint64_t growth = 0;
  for (const IndexRecord24& record : records) {
    if (static_cast<uint64_t>(record.offset) + record.length > packageSize) return false;
    growth += record.length;
  }
  // New offsets are 32-bit: the data file must stay addressable.
  if (dataSize + growth > kLargestDataFile) return false;

  // Records are looked up by number below: the count must describe them.
  if (!std::holds_alternative<std::vector<IndexRecord20>>(installed.entries) ||
      installed.count < 0 || static_cast<size_t>(installed.count) != installed.Installed().size()) {
    return false;
  }
  std::vector<IndexRecord20>& entries = installed.MutableInstalled();
  uint64_t appendAt = EndOfRecords(installed);
  const int from = packageData.get();
  const int to = installedData.get();
  for (const IndexRecord24& record : records) {
    if (record.targetIndex >= static_cast<uint32_t>(installed.count)) {
      const uint32_t newOffset = static_cast<uint32_t>(dataSize);
      if (!CopyRange(from, record.offset, to, dataSize, record.length) ||
          !AppendRecord(installedIndex.get(), appendAt, record, newOffset)) {
        return false;
      }
      dataSize += record.length;
      continue;
    }

    IndexRecord20& target = entries[record.targetIndex];
    // The old place is reused only when it lies wholly inside the data file;
    // a record that points elsewhere gets its bytes at the end instead.
    const bool fitsInPlace = record.length <= target.length &&
                             static_cast<uint64_t>(target.offset) + target.length <= dataSize;
    if (fitsInPlace) {
      if (!CopyRange(from, record.offset, to, target.offset, record.length) ||
          !RewriteRecord(installedIndex.get(), target, record, nullptr)) {
        return false;
      }
    } else {
      const uint32_t newOffset = static_cast<uint32_t>(dataSize);
      if (!CopyRange(from, record.offset, to, dataSize, record.length) ||
          !RewriteRecord(installedIndex.get(), target, record, &newOffset)) {
        return false;
      }
      dataSize += record.length;
      target.offset = newOffset;
    }
    // A later record for the same entry compares with it as now merged.
    TakeValues(record, target);
  }
  return true;
}

bool MergeIndexFile(const wxString& installedIndex, const wxString& packageIndex) {
  if (!platform::FileExists(installedIndex.utf8_string())) {
    if (!platform::FileExists(packageIndex.utf8_string())) return false;
    return InstallConvertedIndex(installedIndex, packageIndex, OffsetRule::kDetach);
  }
  if (!platform::FileExists(packageIndex.utf8_string())) return false;
  IndexFile patch(packageIndex);
  if (!patch.LoadPatch()) return false;
  IndexFile installed(installedIndex);
  if (!installed.LoadInstalled()) return false;

  FileDescriptor index = OpenExisting(installedIndex, O_RDWR);
  if (!index.ok()) return false;
  const uint32_t detached = kDetachedOffset;
  uint64_t appendAt = EndOfRecords(installed);
  for (const IndexRecord24& record : patch.Patch()) {
    const bool written = record.targetIndex < static_cast<uint32_t>(installed.count)
                             ? RewriteRecord(index.get(), installed.Installed()[record.targetIndex],
                                             record, &detached)
                             : AppendRecord(index.get(), appendAt, record, kDetachedOffset);
    if (!written) return false;
  }
  return true;
}
