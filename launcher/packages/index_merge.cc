#include "launcher/packages/index_merge.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "launcher/packages/index_file.h"
#include "launcher/packages/install_batch.h"
#include "launcher/system/run_log.h"
#include "platform/file_descriptor.h"
#include "platform/files.h"
#include "platform/name_in_any_case.h"

using platform::FileDescriptor;
using platform::ReadAt;
using platform::WriteAll;

namespace {

constexpr uint64_t kLargestDataFile = std::numeric_limits<uint32_t>::max();
constexpr size_t kWriteBuffer = 64 * 1024;

bool Exists(const wxString& path) { return platform::FileExists(path.utf8_string()); }

// Sets errno when there is no plain file at `path`.
FileDescriptor OpenExisting(const std::string& path, int flags) {
  if (!platform::FileExists(path)) {
    errno = ENOENT;
    return FileDescriptor(-1);
  }
  return FileDescriptor(open(path.c_str(), flags | O_CLOEXEC));
}

platform::Error OutOfMemory(const std::string& path) {
  return platform::Error{path + ": its records do not fit in memory"};
}

// Why no plain file is at `path`.
platform::Error NoPlainFileAt(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return platform::Error::FromErrno(path, errno);
  return platform::Error::FromErrno(path, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
}

bool SizeOf(int fd, uint64_t& size) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return false;
  size = static_cast<uint64_t>(info.st_size);
  return true;
}

// The permission bits a new installed index takes: the package file's,
// which its unpacking gave within the user's umask.
mode_t NewFileMode(const wxString& packageFile) {
  struct stat info {};
  return stat(packageFile.utf8_str(), &info) == 0 ? (info.st_mode & 0777) : 0644;
}

// Takes a patch record's length and extra values into an installed record,
// leaving its offset alone.
void TakeValues(const IndexRecord24& patch, IndexRecord20& installed) {
  installed.length = patch.length;
  installed.extraA = patch.extraA;
  installed.extraB = patch.extraB;
  installed.extraC = patch.extraC;
  installed.extraD = patch.extraD;
}

IndexRecord20 AsInstalledRecord(const IndexRecord24& patch, uint32_t offset) {
  IndexRecord20 record;
  record.offset = offset;
  TakeValues(patch, record);
  return record;
}

// Copies `length` bytes from `fromAt` in the file `from` to `toAt` in the
// file `to`, a piece at a time: an entry may be far larger than is wise to
// hold whole.
platform::Status CopyRange(int fromFd, const std::string& from, uint64_t fromAt, int toFd,
                           const std::string& to, uint64_t toAt, uint64_t length) {
  char buffer[65536];
  for (uint64_t done = 0; done < length;) {
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(sizeof buffer, length - done));
    if (!ReadAt(fromFd, fromAt + done, buffer, piece))
      return platform::Error::FromErrno("cannot read " + from, errno);
    if (!platform::WriteAt(toFd, toAt + done, buffer, piece))
      return platform::Error::WritingFile(to, errno);
    done += piece;
  }
  return platform::Status();
}

// Takes back what a merge appended to a data file.
bool TruncateTo(const std::string& path, uint64_t size) {
  return truncate(path.c_str(), static_cast<off_t>(size)) == 0;
}

// An installed index as a merge leaves it: the header, the records (those
// merged into included), the bytes after the last whole record when no
// record was added after them (a record added goes over them), then the
// added records.
struct MergedIndex {
  std::string header;
  std::vector<IndexRecord20> records;
  std::string tail;
  std::vector<IndexRecord20> added;

  uint64_t Size() const {
    return header.size() + (records.size() + added.size()) * uint64_t{kInstalledRecordSize} +
           (added.empty() ? tail.size() : 0);
  }

  // Written through one buffer, not field by field.
  bool WriteTo(int fd) const {
    std::string buffer;
    buffer.reserve(kWriteBuffer + kInstalledRecordSize);
    buffer = header;
    const auto put = [&](const IndexRecord20& record) {
      unsigned char bytes[kInstalledRecordSize];
      EncodeInstalledRecord(record, bytes);
      buffer.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
      if (buffer.size() < kWriteBuffer) return true;
      const bool written = WriteAll(fd, buffer.data(), buffer.size());
      buffer.clear();
      return written;
    };
    for (const IndexRecord20& record : records) {
      if (!put(record)) return false;
    }
    if (added.empty()) buffer += tail;
    for (const IndexRecord20& record : added) {
      if (!put(record)) return false;
    }
    return WriteAll(fd, buffer.data(), buffer.size());
  }
};

// Reads the installed index at `path` (the installed file or the copy the
// batch staged for it) into `merged`; fails, saying why, when it does not
// load.
platform::Status LoadInstalledIndex(const std::string& path, MergedIndex& merged) try {
  IndexFile installed(wxString::FromUTF8(path));
  if (platform::Status loaded = installed.LoadInstalledFrom(installed.name); !loaded) return loaded;
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  uint64_t size = 0;
  if (!fd.ok() || !SizeOf(fd.get(), size))
    return platform::Error::FromErrno("cannot read " + path, errno);
  const uint64_t recordsEnd =
      kIndexHeaderSize + static_cast<uint64_t>(installed.count) * kInstalledRecordSize;
  merged.header.assign(kIndexHeaderSize, '\0');
  merged.tail.assign(size > recordsEnd ? static_cast<size_t>(size - recordsEnd) : 0, '\0');
  if (!ReadAt(fd.get(), 0, merged.header.data(), kIndexHeaderSize) ||
      (!merged.tail.empty() &&
       !ReadAt(fd.get(), recordsEnd, merged.tail.data(), merged.tail.size())))
    return platform::Error::FromErrno("cannot read " + path, errno);
  merged.records = installed.MutableInstalled();
  return platform::Status();
} catch (const std::bad_alloc&) {
  return OutOfMemory(path);
}

platform::Status StageIndex(InstallBatch& batch, const wxString& installedIndex,
                            const MergedIndex& merged, mode_t newMode,
                            std::function<void()> abandoned = nullptr) {
  return batch.StageWritten(
      installedIndex.utf8_string(), merged.Size(), newMode,
      [&merged](int fd) { return merged.WriteTo(fd); }, std::move(abandoned));
}

// How a record's offset is installed by StageConvertedIndex.
enum class OffsetRule { kDetach, kKeep };

// The package's patch index installed where no installed index exists yet:
// its header, then each record as an installed record, so that later merges
// read it as installed records. The offset is 0xFFFFFFFF (kDetach) or, when
// the package's data file is installed whole beside it, the record's own
// (kKeep).
platform::Status StageConvertedIndex(InstallBatch& batch, const wxString& installedIndex,
                                     const wxString& packageIndex, OffsetRule offsets) try {
  IndexFile patch(packageIndex);
  if (const platform::Status loaded = patch.LoadPatchFrom(patch.name); !loaded) {
    // A file too short for a header is no index to convert: it goes as it
    // is. One too large to read installs nothing.
    struct stat info {};
    if (stat(packageIndex.utf8_str(), &info) != 0)
      return platform::Error::FromErrno("cannot read " + packageIndex.utf8_string(), errno);
    if (static_cast<uint64_t>(info.st_size) >= kIndexHeaderSize) return loaded;
    return batch.StageCopy(packageIndex.utf8_string(), installedIndex.utf8_string());
  }
  MergedIndex converted;
  converted.header.assign(kIndexHeaderSize, '\0');
  FileDescriptor fd(open(packageIndex.utf8_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.ok() || !ReadAt(fd.get(), 0, converted.header.data(), kIndexHeaderSize))
    return platform::Error::FromErrno("cannot read " + packageIndex.utf8_string(), errno);
  converted.records.reserve(patch.Patch().size());
  for (const IndexRecord24& record : patch.Patch()) {
    const uint32_t offset = offsets == OffsetRule::kKeep ? record.offset : kDetachedOffset;
    converted.records.push_back(AsInstalledRecord(record, offset));
  }
  return StageIndex(batch, installedIndex, converted, NewFileMode(packageIndex));
} catch (const std::bad_alloc&) {
  // The converted index does not fit in memory: nothing installed.
  return OutOfMemory(packageIndex.utf8_string());
}

// Applies the records of `patch` to the installed index in `merged`: each
// entry's bytes are appended to the installed data file, and the index is
// staged pointing at them. Every record must address bytes inside the
// package's data file, and the growth must stay within bounds and the
// disk's room, before anything is written.
platform::Status StageDataMerge(InstallBatch& batch, const IndexFile& patch,
                                const std::string& packageData, MergedIndex& merged,
                                const wxString& installedIndex, const std::string& installedData) {
  FileDescriptor package = OpenExisting(packageData, O_RDONLY);
  uint64_t packageSize = 0;
  if (!package.ok() || !SizeOf(package.get(), packageSize))
    return platform::Error::FromErrno("cannot read " + packageData, errno);
  FileDescriptor data = OpenExisting(installedData, O_RDWR);
  uint64_t dataSize = 0;
  if (!data.ok() || !SizeOf(data.get(), dataSize))
    return platform::Error::FromErrno("cannot open " + installedData, errno);
  const std::vector<IndexRecord24>& records = patch.Patch();
  uint64_t growth = 0;
  for (const IndexRecord24& record : records) {
    if (static_cast<uint64_t>(record.offset) + record.length > packageSize) {
      return platform::Error{"a record of " + patch.name.utf8_string() +
                             " reaches past the end of " + packageData};
    }
    growth += record.length;
  }
  // New offsets are 32-bit: the data file must stay addressable.
  if (growth > kMergeGrowthFactor * packageSize + kMergeGrowthSlack ||
      dataSize + growth > kLargestDataFile) {
    return platform::Error{"merging " + patch.name.utf8_string() + " would grow " + installedData +
                           " by " + std::to_string(growth) + " bytes, more than it may"};
  }
  if (!batch.TakeRoom(installedData, data.get(), growth)) {
    return platform::Error{"no room on the disk for " + std::to_string(growth) + " more bytes of " +
                           installedData + " (a reserve of the disk stays free)"};
  }

  const uint64_t originalSize = dataSize;
  const uint32_t count = static_cast<uint32_t>(merged.records.size());
  for (const IndexRecord24& record : records) {
    IndexRecord20* target =
        record.targetIndex < count ? &merged.records[record.targetIndex] : nullptr;
    // Nothing to write: the entry keeps its place, when that lies in the
    // data file.
    if (target && record.length == 0 && target->offset <= dataSize) {
      TakeValues(record, *target);
      continue;
    }
    if (platform::Status copied = CopyRange(package.get(), packageData, record.offset, data.get(),
                                            installedData, dataSize, record.length);
        !copied) {
      TruncateTo(installedData, originalSize);
      return copied;
    }
    const uint32_t newOffset = static_cast<uint32_t>(dataSize);
    dataSize += record.length;
    if (target) {
      target->offset = newOffset;
      TakeValues(record, *target);
    } else {
      merged.added.push_back(AsInstalledRecord(record, newOffset));
    }
  }
  // Given up, the merge takes back what it appended.
  const auto takeBack = [installedData, originalSize] { TruncateTo(installedData, originalSize); };
  if (platform::Status staged =
          StageIndex(batch, installedIndex, merged, NewFileMode(installedIndex), takeBack);
      !staged) {
    takeBack();
    return staged;
  }
  return platform::Status();
}

// `path` with its last part found in any letter case.
wxString InAnyCase(const wxString& path) {
  const std::string native = path.utf8_string();
  const size_t slash = native.find_last_of('/');
  if (slash == std::string::npos) return wxString::FromUTF8(platform::NameInAnyCase("", native));
  const std::string dir = native.substr(0, slash + 1);
  return wxString::FromUTF8(dir + platform::NameInAnyCase(dir, native.substr(slash + 1)));
}

std::string DirectoryOf(const wxString& path) {
  const std::string native = path.utf8_string();
  const size_t slash = native.find_last_of('/');
  return slash == std::string::npos ? "." : native.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

wxString DataFileOf(const wxString& indexPath) {
  const size_t dot = indexPath.find_last_of('.');
  return InAnyCase(dot == wxString::npos ? indexPath : indexPath.substr(0, dot));
}

platform::Status StageLoginDataMerge(InstallBatch& batch, RunLogHandle& log,
                                     const wxString& packageIndex, const wxString& installedIndex,
                                     const wxString& installedData) {
  const wxString packageData = DataFileOf(packageIndex);
  // Each failure line is followed by its cause.
  const auto failed = [&log](int line, platform::Status cause) {
    RUNLOG_CAUSE(log, line, wxString::FromUTF8(cause.error().message));
    return cause;
  };
  if (!platform::FileExists(batch.ContentOf(installedData.utf8_string()))) {
    // The package's data file becomes the installed one, so its records
    // keep their offsets; only their form changes to installed records.
    // The index goes first: one left without its data file by a kill is
    // installed afresh with it by the next start.
    platform::Status staged =
        StageConvertedIndex(batch, installedIndex, packageIndex, OffsetRule::kKeep);
    if (staged) staged = batch.StageCopy(packageData.utf8_string(), installedData.utf8_string());
    if (staged) return staged;
    RUNLOG_ERROR(log, 2352, " in pathList.xml %s may be config error! or %s file not exsited ",
                 packageData, packageIndex);
    return failed(2352, std::move(staged));
  }
  if (!Exists(packageIndex)) {
    RUNLOG_ERROR(log, 2363, "  %s file not exsited ", packageIndex);
    return failed(2363, NoPlainFileAt(packageIndex.utf8_string()));
  }
  const std::string installedContent = batch.ContentOf(installedIndex.utf8_string());
  if (!platform::FileExists(installedContent)) {
    RUNLOG_ERROR(log, 2370, "%s file not exsited ", installedIndex);
    return failed(2370, NoPlainFileAt(installedContent));
  }
  // A package index whose records reach outside its data file counts as a
  // load error too: nothing is merged from it.
  IndexFile patch(packageIndex);
  MergedIndex merged;
  platform::Status loaded = LoadInstalledIndex(installedContent, merged);
  if (loaded) loaded = patch.LoadPatchFrom(patch.name);
  if (loaded) {
    loaded = StageDataMerge(batch, patch, packageData.utf8_string(), merged, installedIndex,
                            installedData.utf8_string());
  }
  if (!loaded) {
    RUNLOG_ERROR(log, 2383, "%s file or %s file load error ,may be the file format wrong! ",
                 installedIndex, packageIndex);
    return failed(2383, std::move(loaded));
  }
  return platform::Status();
}

platform::Status StageIndexFileMerge(InstallBatch& batch, const wxString& installedIndex,
                                     const wxString& packageIndex) try {
  const std::string installedContent = batch.ContentOf(installedIndex.utf8_string());
  if (!Exists(packageIndex)) return NoPlainFileAt(packageIndex.utf8_string());
  if (!platform::FileExists(installedContent)) {
    return StageConvertedIndex(batch, installedIndex, packageIndex, OffsetRule::kDetach);
  }
  IndexFile patch(packageIndex);
  MergedIndex merged;
  if (platform::Status loaded = patch.LoadPatchFrom(patch.name); !loaded) return loaded;
  if (platform::Status loaded = LoadInstalledIndex(installedContent, merged); !loaded)
    return loaded;
  const uint32_t count = static_cast<uint32_t>(merged.records.size());
  for (const IndexRecord24& record : patch.Patch()) {
    if (record.targetIndex < count) {
      IndexRecord20& target = merged.records[record.targetIndex];
      target.offset = kDetachedOffset;
      TakeValues(record, target);
    } else {
      merged.added.push_back(AsInstalledRecord(record, kDetachedOffset));
    }
  }
  return StageIndex(batch, installedIndex, merged, NewFileMode(packageIndex));
} catch (const std::bad_alloc&) {
  return OutOfMemory(installedIndex.utf8_string());
}

bool MergeLoginData(const wxString& packageIndex, RunLogHandle& log,
                    const wxString& installedIndex) {
  InstallBatch batch(DirectoryOf(installedIndex));
  return StageLoginDataMerge(batch, log, packageIndex, installedIndex,
                             DataFileOf(installedIndex)) &&
         batch.Commit();
}

bool MergeIndexFile(const wxString& installedIndex, const wxString& packageIndex) {
  InstallBatch batch(DirectoryOf(installedIndex));
  return StageIndexFileMerge(batch, installedIndex, packageIndex) && batch.Commit();
}
