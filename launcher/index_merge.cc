#include "launcher/index_merge.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "launcher/file_descriptor.h"
#include "launcher/file_replace.h"
#include "launcher/index_file.h"
#include "launcher/launcher_frame_wnd.h"
#include "launcher/run_log.h"
#include "platform/files.h"

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

// A patch record as an installed record whose bytes lie at `offset`.
IndexRecord20 AsInstalledRecord(const IndexRecord24& patch, uint32_t offset) {
  IndexRecord20 record;
  record.offset = offset;
  record.length = patch.length;
  record.extraA = patch.extraA;
  record.extraB = patch.extraB;
  record.extraC = patch.extraC;
  record.extraD = patch.extraD;
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

uint64_t EndOfRecords(const IndexFile& installed) {
  return kIndexHeaderSize + static_cast<uint64_t>(installed.count) * kInstalledRecordSize;
}

// The path up to its last "." (the data file of an index file).
wxString DataFileOf(const wxString& indexPath) {
  const size_t dot = indexPath.find_last_of('.');
  return dot == wxString::npos ? indexPath : indexPath.substr(0, dot);
}

// The package's patch index installed where no installed index exists yet:
// its header, then each record as an installed record with the offset
// 0xFFFFFFFF, so that later merges read it as installed records.
bool InstallConvertedIndex(const wxString& installedIndex, const wxString& packageIndex) {
  IndexFile patch(packageIndex);
  if (!patch.LoadPatch()) return CopyFileReplacing(packageIndex, installedIndex);
  std::ifstream in(packageIndex.utf8_string(), std::ios::binary);
  std::string bytes(kIndexHeaderSize, '\0');
  if (!in.read(bytes.data(), kIndexHeaderSize)) return false;
  for (const IndexRecord24& record : patch.Patch()) {
    unsigned char encoded[kInstalledRecordSize];
    EncodeInstalledRecord(AsInstalledRecord(record, kDetachedOffset), encoded);
    bytes.append(reinterpret_cast<const char*>(encoded), sizeof encoded);
  }
  return WriteFileReplacing(installedIndex, bytes);
}

}  // namespace

bool MergeLoginData(const wxString& packageIndex, LauncherFrameWnd& frame,
                    const wxString& installedIndex) {
  const wxString packageData = DataFileOf(packageIndex);
  const wxString installedData = DataFileOf(installedIndex);
  if (!platform::FileExists(installedData.utf8_string())) {
    if (CopyFileReplacing(packageData, installedData) &&
        CopyFileReplacing(packageIndex, installedIndex)) {
      return true;
    }
    RUNLOG_ERROR(frame, " in pathList.xml %s may be config error! or %s file not exsited ",
                 packageData, packageIndex);
    return false;
  }
  if (!platform::FileExists(packageIndex.utf8_string())) {
    RUNLOG_ERROR(frame, "  %s file not exsited ", packageIndex);
    return false;
  }
  if (!platform::FileExists(installedIndex.utf8_string())) {
    RUNLOG_ERROR(frame, "%s file not exsited ", installedIndex);
    return false;
  }
  IndexFile installed(installedData, installedIndex);
  IndexFile patch(packageData, packageIndex);
  // A package index whose records reach outside its data file counts as a
  // load error too: nothing is merged from it.
  if (!installed.LoadInstalledForData() || !patch.LoadPatchForData() ||
      !MergeDataAndIndex(patch, installed)) {
    RUNLOG_ERROR(frame, "%s file or %s file load error ,may be the file format wrong! ",
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

  std::vector<IndexRecord20>& entries = installed.MutableInstalled();
  uint64_t appendAt = EndOfRecords(installed);
  std::vector<char> buffer;
  for (const IndexRecord24& record : records) {
    buffer.assign(record.length, '\0');
    if (!ReadAt(packageData.get(), record.offset, buffer.data(), buffer.size())) return false;

    if (record.targetIndex >= static_cast<uint32_t>(installed.count)) {
      const uint32_t newOffset = static_cast<uint32_t>(dataSize);
      if (!WriteAt(installedData.get(), dataSize, buffer.data(), buffer.size()) ||
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
      if (!WriteAt(installedData.get(), target.offset, buffer.data(), buffer.size()) ||
          !RewriteRecord(installedIndex.get(), target, record, nullptr)) {
        return false;
      }
    } else {
      const uint32_t newOffset = static_cast<uint32_t>(dataSize);
      if (!WriteAt(installedData.get(), dataSize, buffer.data(), buffer.size()) ||
          !RewriteRecord(installedIndex.get(), target, record, &newOffset)) {
        return false;
      }
      dataSize += record.length;
      target.offset = newOffset;
    }
    // A later record for the same entry compares with it as now merged.
    target.length = record.length;
    target.extraA = record.extraA;
    target.extraB = record.extraB;
    target.extraC = record.extraC;
    target.extraD = record.extraD;
  }
  return true;
}

bool MergeIndexFile(const wxString& installedIndex, const wxString& packageIndex) {
  if (!platform::FileExists(installedIndex.utf8_string())) {
    if (!platform::FileExists(packageIndex.utf8_string())) return false;
    return InstallConvertedIndex(installedIndex, packageIndex);
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
