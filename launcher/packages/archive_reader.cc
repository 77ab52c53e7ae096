#include "launcher/packages/archive_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>
#include <wx/filefn.h>
#include <wx/strconv.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "launcher/packages/archive_file.h"
#include "launcher/packages/contained_path.h"
#include "launcher/packages/disk_room.h"
#include "launcher/packages/entry_reading.h"
#include "launcher/packages/inflate_ahead.h"
#include "platform/error.h"
#include "platform/file_descriptor.h"
#include "platform/files.h"

using platform::FileDescriptor;
using platform::WriteAll;

namespace {

std::atomic<uint32_t> g_lastResult{archive_result::kOk};

constexpr uint64_t kFileTimeUnitsPerSecond = 10000000;
constexpr off_t kSmallestUnpackedAhead = off_t{1} << 20;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;

unzFile Zip(void* handle) { return static_cast<unzFile>(handle); }

// An entry read into the extraction's buffer and written out part by part.
class FileSink final : public EntrySink {
 public:
  FileSink(int fd, char* buffer, int& writeError)
      : fd_(fd), buffer_(buffer), writeError_(writeError) {}
  char* Room(unsigned& length) override {
    length = ArchiveReader::kBufferSize;
    return buffer_;
  }
  bool Took(size_t length) override {
    if (WriteAll(fd_, buffer_, length)) return true;
    writeError_ = errno;
    return false;
  }

 private:
  int fd_;
  char* buffer_;
  int& writeError_;
};

bool IsSeparator(wxUniChar c) { return c == '\\' || c == '/'; }

wxString WithTrailingSeparator(const wxString& dir) {
  if (!dir.empty() && IsSeparator(dir.Last())) return dir;
  return dir + wxString(platform::kPathSeparator);
}

uint64_t UnixToFileTime(int64_t seconds) {
  const int64_t since1601 = seconds + kSecondsFrom1601To1970;
  return since1601 < 0 ? 0 : static_cast<uint64_t>(since1601) * kFileTimeUnitsPerSecond;
}

// A DOS date and time (local time) as a file time in UTC; 0 when invalid.
uint64_t DosToFileTime(uint32_t dosDateTime) {
  const uint32_t date = dosDateTime >> 16;
  const uint32_t time = dosDateTime & 0xFFFF;
  std::tm local{};
  local.tm_year = 80 + static_cast<int>(date >> 9);
  local.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
  local.tm_mday = static_cast<int>(date & 0x1F);
  local.tm_hour = static_cast<int>(time >> 11);
  local.tm_min = static_cast<int>((time >> 5) & 0x3F);
  local.tm_sec = 2 * static_cast<int>(time & 0x1F);
  local.tm_isdst = -1;
  if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday < 1 || local.tm_hour > 23 ||
      local.tm_min > 59 || local.tm_sec > 59) {
    return 0;
  }
  const std::time_t seconds = std::mktime(&local);
  if (seconds == static_cast<std::time_t>(-1)) return 0;
  return UnixToFileTime(seconds);
}

uint32_t ReadLe32(const std::vector<unsigned char>& bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
         (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

// The extended time stamp ("UT") of a local extra field, when there is one:
// each time its flags announce replaces the DOS time. A block shorter than
// its flags announce gives the times that fit.
void ApplyExtendedTimeStamp(const std::vector<unsigned char>& extra, ArchiveEntry& entry) {
  const size_t size = extra.size();
  if (size <= 4) return;
  size_t pos = 0;
  for (;;) {
    const size_t dataSize = extra[pos + 2] | (extra[pos + 3] << 8);
    if (extra[pos] == 'U' && extra[pos + 1] == 'T') {
      const size_t end = std::min(size, pos + 4 + dataSize);
      size_t at = pos + 4;
      if (at >= end) return;
      const unsigned flags = extra[at++];
      uint64_t* targets[] = {&entry.writeTime, &entry.accessTime, &entry.creationTime};
      for (unsigned bit = 0; bit < 3; ++bit) {
        if (!(flags & (1u << bit))) continue;
        if (at + 4 > end) return;
        const int32_t seconds = static_cast<int32_t>(ReadLe32(extra, at));
        at += 4;
        *targets[bit] = UnixToFileTime(seconds);
      }
      return;
    }
    const size_t next = pos + 4 + dataSize;
    if (!(next + 4 < size)) return;
    pos = next;
  }
}

// Windows attribute bits from the record's "made by" system and its external
// attributes.
uint32_t AttributesOf(const unz_file_info64& info) {
  const unsigned madeBy = (info.version >> 8) & 0xFF;
  const uint32_t external = static_cast<uint32_t>(info.external_fa);
  if (madeBy == 0 || madeBy == 7 || madeBy == 11 || madeBy == 14) {
    return external &
           (archive_attribute::kReadOnly | archive_attribute::kHidden | archive_attribute::kSystem |
            archive_attribute::kDirectory | archive_attribute::kArchive);
  }
  uint32_t attributes = archive_attribute::kArchive;
  if (external & (1u << 30)) attributes |= archive_attribute::kDirectory;
  if (!(external & (1u << 23))) attributes |= archive_attribute::kReadOnly;
  return attributes;
}

// The permission bits of an entry made on Unix; set-id bits are not taken.
uint32_t UnixModeOf(const unz_file_info64& info) {
  const unsigned madeBy = (info.version >> 8) & 0xFF;
  if (madeBy != 3) return 0;
  return (static_cast<uint32_t>(info.external_fa) >> 16) & 0777;
}

wxString DecodeStoredName(const std::vector<char>& stored, size_t length) {
  if (length == 0) return wxString();
  wxString name = wxString::FromUTF8(stored.data(), length);
  if (name.empty()) {
    // Not valid UTF-8: keep the bytes that are not, rather than lose the name.
    wxMBConvUTF8 lenient(wxMBConvUTF8::MAP_INVALID_UTF8_TO_PUA);
    name = wxString(stored.data(), lenient, length);
  }
  return name;
}

timespec ToTimespec(uint64_t fileTime) {
  timespec spec{};
  if (fileTime == 0) {
    spec.tv_nsec = UTIME_OMIT;
    return spec;
  }
  spec.tv_sec = static_cast<time_t>(static_cast<int64_t>(fileTime / kFileTimeUnitsPerSecond) -
                                    kSecondsFrom1601To1970);
  spec.tv_nsec = static_cast<long>((fileTime % kFileTimeUnitsPerSecond) * 100);
  return spec;
}

// A zip archive without entries: only the end-of-central-directory record
// (and its comment). minizip does not find that record at offset 0.
bool IsEmptyZipArchive(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char record[22];
  if (!in.read(reinterpret_cast<char*>(record), sizeof record)) return false;
  if (record[0] != 'P' || record[1] != 'K' || record[2] != 5 || record[3] != 6) return false;
  for (int i = 4; i < 20; ++i) {
    if (record[i] != 0) return false;  // no disks, entries, directory size or offset
  }
  const std::streamoff commentLength = record[20] | (record[21] << 8);
  in.seekg(0, std::ios::end);
  return in.tellg() == static_cast<std::streamoff>(sizeof record) + commentLength;
}

// Creates a new file beside `path` (same directory, so a rename can take
// its place) with `mode` within the user's umask; its name goes to
// `temporary`.
FileDescriptor CreateTemporaryBeside(const std::string& path, mode_t mode, std::string& temporary) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = path + ".part-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    int fd;
    do {
      fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) return FileDescriptor(fd);
    if (errno != EEXIST) break;
  }
  return FileDescriptor(-1);
}

// The process's umask, read without changing it (umask(2) would, for every
// thread at once); 022 where the kernel does not tell.
mode_t ReadUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0)
      return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  }
  return 022;
}

// The entry's own mode (the game's executable stays executable), within the
// user's umask as every new file: an entry marked 0777 on a shared disk is
// not installed writable by everyone. The owner may always read what was
// unpacked.
mode_t EntryMode(const ArchiveEntry& entry) {
  static const mode_t umaskBits = ReadUmask();
  mode_t mode = 0666;
  if (entry.unixMode != 0) {
    mode = static_cast<mode_t>(entry.unixMode | S_IRUSR) & 0777;
  } else if (entry.attributes & archive_attribute::kReadOnly) {
    mode = 0444;
  }
  return mode & ~umaskBits;
}

// The entry's file times on its written file.
void SetTimes(int fd, const ArchiveEntry& entry) {
  const timespec times[2] = {ToTimespec(entry.accessTime), ToTimespec(entry.writeTime)};
  futimens(fd, times);
}

}  // namespace

uint32_t LastArchiveResult() { return g_lastResult.load(); }
void SetLastArchiveResult(uint32_t result) { g_lastResult.store(result); }

wxString DescribeArchiveResult(uint32_t result, const wxString& name, int fileError,
                               const wxString& file) {
  const wxString code = wxString::Format("archive code 0x%x", result);
  const auto told = [&code](const wxString& what) { return what + " (" + code + ")"; };
  const auto damaged = [&](const char* how) {
    return wxString::Format("damaged entry %s (%s, %s)", name, how, code);
  };
  switch (result) {
    case archive_result::kOk:
      return wxString();
    case archive_result::kOpenFailed:
      if (file.empty()) return told(name + " is not a zip archive");
      if (fileError == 0) return told("entry " + name + " would leave the package's directory");
      return told(wxString::FromUTF8(
          platform::Error::FromErrno("cannot create " + file.utf8_string(), fileError).message));
    case archive_result::kWriteFailed:
      if (fileError == 0) return told("cannot write " + file);
      return told(
          wxString::FromUTF8(platform::Error::WritingFile(file.utf8_string(), fileError).message));
    case archive_result::kHeaderMismatch:
      return damaged("its local header disagrees with the directory");
    case archive_result::kExtraFieldUnreadable:
      return damaged("its extra field cannot be read");
    case archive_result::kEncrypted:
      return told("encrypted entry " + name);
    case archive_result::kBadIndex:
      return told("entry " + name + " out of range");
    case archive_result::kInflateFailed:
      return damaged("its data does not inflate");
    default:
      return told("entry " + name + " failed");
  }
}

std::unique_ptr<ArchiveReader> ArchiveReader::Open(const wxString& path) {
  std::unique_ptr<ArchiveReader> reader(new ArchiveReader());
  reader->baseDir_ = WithTrailingSeparator(wxGetCwd());
  const std::string file = path.utf8_string();
  reader->path_ = file;
  if (platform::FileExists(file)) reader->zip_ = OpenArchiveFile(file);
  if (!reader->zip_ && platform::FileExists(file) && IsEmptyZipArchive(file)) {
    reader->entryCount_ = 0;  // no archive state is needed to walk no entries
    SetLastArchiveResult(archive_result::kOk);
    return reader;
  }
  unz_global_info64 global{};
  if (!reader->zip_ || unzGetGlobalInfo64(Zip(reader->zip_), &global) != UNZ_OK) {
    SetLastArchiveResult(archive_result::kOpenFailed);
    return nullptr;
  }
  // The end record's count is only a claim: a count far above the records
  // really there would make every missing entry walk the directory anew.
  // Count the records minizip can step through (at most the claim).
  const int32_t claimed =
      global.number_entry > INT32_MAX ? INT32_MAX : static_cast<int32_t>(global.number_entry);
  // minizip stood on the first entry when it opened the archive: asking
  // where it stands reads nothing (a damaged record can cost thousands of
  // reads each time it is read).
  int32_t present = 0;
  unzFile zip = Zip(reader->zip_);
  unz64_file_pos first{};
  bool more = claimed > 0 && unzGetFilePos64(zip, &first) == UNZ_OK;
  while (more) {
    ++present;
    // What unpacking may write: minizip gives no entry more than it declares.
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK) {
      reader->declaredBytes_ = AddSaturating(reader->declaredBytes_, info.uncompressed_size);
    }
    more = present < claimed && unzGoToNextFile(zip) == UNZ_OK;
  }
  reader->entryCount_ = present;
  reader->entriesMissing_ = present < claimed;
  reader->current_ = -1;  // not positioned yet: the first move starts at the first entry
  SetLastArchiveResult(archive_result::kOk);
  return reader;
}

ArchiveReader::~ArchiveReader() { Close(); }

uint32_t ArchiveReader::SetBaseDir(const wxString& dir) {
  baseDir_ = WithTrailingSeparator(dir);
  directoryEnsured_ = false;
  return archive_result::kOk;
}

int32_t ArchiveReader::EntryCount() const { return zip_ ? entryCount_ : 0; }

bool ArchiveReader::GoToEntry(int32_t index) {
  unzFile zip = Zip(zip_);
  if (current_ < 0 || index < current_) {
    if (unzGoToFirstFile(zip) != UNZ_OK) {
      current_ = -1;
      return false;
    }
    current_ = 0;
  }
  while (current_ < index) {
    if (unzGoToNextFile(zip) != UNZ_OK) {
      current_ = -1;
      return false;
    }
    ++current_;
  }
  return true;
}

uint32_t ArchiveReader::GetItem(int32_t index, ArchiveEntry& entry) {
  if (index < -1 || index >= EntryCount()) return archive_result::kBadIndex;
  if (index == cachedIndex_ && index != -1) {
    entry = cached_;
    return archive_result::kOk;
  }
  if (index == -1) {
    entry = ArchiveEntry();
    entry.index = EntryCount();
    return archive_result::kOk;
  }
  if (!GoToEntry(index)) return archive_result::kHeaderMismatch;
  return Describe(index, entry);
}

uint32_t ArchiveReader::Describe(int32_t index, ArchiveEntry& entry) {
  unzFile zip = Zip(zip_);
  unz_file_info64 info{};
  if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
    return archive_result::kHeaderMismatch;
  }
  // The whole stored name: a cut-off name could name another file.
  std::vector<char> stored(info.size_filename + 1, '\0');
  if (unzGetCurrentFileInfo64(zip, &info, stored.data(), static_cast<uLong>(stored.size()), nullptr,
                              0, nullptr, 0) != UNZ_OK) {
    return archive_result::kHeaderMismatch;
  }

  // Opening the entry raw makes minizip check its local header against the
  // central record and gives access to the local extra field.
  if (unzOpenCurrentFile3(zip, nullptr, nullptr, 1, nullptr) != UNZ_OK) {
    return archive_result::kHeaderMismatch;
  }
  std::vector<unsigned char> extra;
  const int extraSize = unzGetLocalExtrafield(zip, nullptr, 0);
  bool extraRead = extraSize >= 0;
  if (extraRead && extraSize > 0) {
    extra.resize(static_cast<size_t>(extraSize));
    extraRead =
        unzGetLocalExtrafield(zip, extra.data(), static_cast<unsigned>(extraSize)) == extraSize;
  }
  unzCloseCurrentFile(zip);
  if (!extraRead) return archive_result::kExtraFieldUnreadable;

  ArchiveEntry described;
  described.index = index;
  described.name = CleanEntryName(DecodeStoredName(stored, info.size_filename));
  described.attributes = AttributesOf(info);
  described.unixMode = UnixModeOf(info);
  described.compressedSize = static_cast<int32_t>(info.compressed_size);
  described.uncompressedSize = static_cast<int32_t>(info.uncompressed_size);
  const uint64_t dosTime = DosToFileTime(static_cast<uint32_t>(info.dosDate));
  described.accessTime = described.creationTime = described.writeTime = dosTime;
  ApplyExtendedTimeStamp(extra, described);

  cached_ = described;
  cachedIndex_ = index;
  cachedEncrypted_ = (info.flag & 1) != 0;
  entry = described;
  return archive_result::kOk;
}

wxString ArchiveReader::CleanEntryName(const wxString& stored) {
  static const char* const kClimbs[] = {"\\..\\", "\\../", "/../", "/..\\"};
  constexpr size_t kClimbCount = sizeof kClimbs / sizeof kClimbs[0];
  constexpr size_t kClimbLength = 4;
  const std::wstring name = stored.ToStdWstring();
  // Every rule drops a front part of the name, so the cleaning only moves
  // its start on. The places of each climb are found once: a name made of
  // thousands of them costs linear time, not quadratic.
  std::vector<size_t> climbs[kClimbCount];
  for (size_t k = 0; k < kClimbCount; ++k) {
    const std::wstring climb = wxString(kClimbs[k]).ToStdWstring();
    for (size_t at = name.find(climb); at != std::wstring::npos; at = name.find(climb, at + 1)) {
      climbs[k].push_back(at);
    }
  }
  size_t nextClimb[kClimbCount] = {};
  size_t start = 0;
  for (;;) {
    const size_t left = name.size() - start;
    if (left >= 2 && name[start + 1] == L':') {
      start += 2;
      continue;
    }
    if (left >= 1 && IsSeparator(name[start])) {
      ++start;
      continue;
    }
    bool climbed = false;
    for (size_t k = 0; k < kClimbCount && !climbed; ++k) {
      while (nextClimb[k] < climbs[k].size() && climbs[k][nextClimb[k]] < start) ++nextClimb[k];
      if (nextClimb[k] < climbs[k].size()) {
        start = climbs[k][nextClimb[k]] + kClimbLength;
        climbed = true;
      }
    }
    if (!climbed) break;
  }
  return wxString(name.substr(start));
}

void ArchiveReader::EnsureDirectory(const wxString& base, const wxString& path) {
  const std::string baseDir = base.utf8_string();
  if (!platform::DirectoryExists(baseDir) && !platform::FileExists(baseDir)) {
    mkdir(baseDir.c_str(), 0777);
  }
  // Every level of the path, from the top down, each one the last with its
  // next part added. A part that is a lone separator names the level before
  // again, and no level past the longest path the system takes can be made:
  // a name of thousands of separators costs no more than its length. The
  // separators are ASCII, so the walk goes over the UTF-8 bytes.
  const std::string native = NativeSeparators(path).utf8_string();
  std::string level = baseDir;
  size_t levelEnd = 0;
  for (size_t at = 1; at <= native.size(); ++at) {
    if (at < native.size() && native[at] != platform::kPathSeparator) continue;
    const size_t partLength = at - levelEnd;
    const bool loneSeparator = partLength == 1 && native[levelEnd] == platform::kPathSeparator;
    level.append(native, levelEnd, partLength);
    levelEnd = at;
    if (loneSeparator) continue;
    if (level.size() >= PATH_MAX) break;
    if (!platform::DirectoryExists(level)) mkdir(level.c_str(), 0777);
  }
}

uint32_t ArchiveReader::ExtractItem(int32_t index, const wxString& name) {
  fileError_ = 0;
  failedFile_.clear();
  if (index < 0 || index >= EntryCount()) return archive_result::kBadIndex;
  if (!GoToEntry(index)) return archive_result::kHeaderMismatch;
  ArchiveEntry entry;
  // An entry that cannot be described is not written with stale details.
  const uint32_t described = GetItem(index, entry);
  if (described != archive_result::kOk) return described;
  // Nothing is written outside the base directory.
  if (!IsContainedRelativePath(name)) {
    failedFile_ = baseDir_ + name;
    return archive_result::kOpenFailed;
  }

  if (entry.attributes & archive_attribute::kDirectory) {
    EnsureDirectory(baseDir_, name);
    return archive_result::kOk;
  }
  const size_t split = name.find_last_of("\\/");
  const wxString directoryPart = split == wxString::npos ? wxString() : name.substr(0, split + 1);
  const wxString filePart = split == wxString::npos ? name : name.substr(split + 1);
  // Entries come directory by directory: one made for the entry before is
  // not looked for again.
  if (!directoryEnsured_ || directoryPart != ensuredDirectory_) {
    EnsureDirectory(baseDir_, directoryPart);
    ensuredDirectory_ = directoryPart;
    directoryEnsured_ = true;
  }
  const wxString fullPath = baseDir_ + NativeSeparators(directoryPart) + filePart;
  const uint32_t result = WriteEntryTo(fullPath, entry, cachedEncrypted_);
  if (result == archive_result::kOpenFailed || result == archive_result::kWriteFailed)
    failedFile_ = fullPath;
  return result;
}

uint32_t ArchiveReader::WriteEntryTo(const wxString& fullPath, const ArchiveEntry& entry,
                                     bool encrypted) {
  const std::string path = fullPath.utf8_string();
  int unpacked = -1;
  uint32_t aheadResult = archive_result::kOk;
  if (!encrypted && ahead_ && ahead_->Take(entry.index, unpacked, aheadResult)) {
    FileDescriptor file(unpacked);
    // Only a whole entry is given its name here; anything else is read again
    // below, which fails it the way it always fails.
    if (aheadResult == archive_result::kOk) {
      // Made unnamed with the default mode: the entry's is set here.
      SetTimes(file.get(), entry);
      fchmod(file.get(), EntryMode(entry));
      if (LinkUnpacked(file, path)) return archive_result::kOk;
    }
  }
  // A read-only file is not replaced, whatever rights the process has.
  if (platform::FileExists(path) && platform::IsReadOnly(path)) {
    fileError_ = EACCES;
    return archive_result::kOpenFailed;
  }
  // The entry is written beside its place and takes it only once it is
  // whole: a failed entry must leave nothing that installation would copy.
  std::string temporary;
  FileDescriptor out = CreateTemporaryBeside(path, EntryMode(entry), temporary);
  if (!out.ok()) {
    fileError_ = errno;
    return archive_result::kOpenFailed;
  }

  uint32_t result = encrypted ? archive_result::kEncrypted : CopyCurrentEntry(out.get());
  if (result == archive_result::kOk) SetTimes(out.get(), entry);
  if (!out.Close() && result == archive_result::kOk) {
    fileError_ = errno;
    result = archive_result::kWriteFailed;
  }
  if (result == archive_result::kOk && rename(temporary.c_str(), path.c_str()) != 0) {
    fileError_ = errno;
    result = archive_result::kOpenFailed;  // e.g. a directory stands at the entry's place
  }
  if (result != archive_result::kOk) {
    unlink(temporary.c_str());
    // A file left there by an earlier unpacking of a package of this name
    // would be installed in the failed entry's stead.
    if (!platform::DirectoryExists(path)) unlink(path.c_str());
  }
  return result;
}

bool ArchiveReader::LinkUnpacked(FileDescriptor& file, const std::string& path) {
  const std::string unnamed = "/proc/self/fd/" + std::to_string(file.get());
  if (linkat(AT_FDCWD, unnamed.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    if (file.Close()) return true;
    unlink(path.c_str());
    return false;
  }
  // Something stands at the place: the entry replaces it as a written one
  // does, through a name beside it; anything else is left to the writing.
  if (errno != EEXIST) return false;
  if (platform::FileExists(path) && platform::IsReadOnly(path)) return false;
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temporary =
        path + ".part-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    if (linkat(AT_FDCWD, unnamed.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    const bool placed = file.Close() && rename(temporary.c_str(), path.c_str()) == 0;
    if (!placed) unlink(temporary.c_str());
    return placed;
  }
  return false;
}

uint32_t ArchiveReader::CopyCurrentEntry(int fd) {
  if (!buffer_) buffer_.reset(new char[kBufferSize]);
  FileSink sink(fd, buffer_.get(), fileError_);
  return ReadCurrentEntry(Zip(zip_), sink, archive_result::kWriteFailed);
}

void ArchiveReader::StartInflatingAhead() {
  const unsigned workers = InflateAhead::WorkersForThisMachine();
  if (!zip_ || ahead_ || workers == 0 || entryCount_ < 2) return;
  // Threads pay only where there is real work: a small archive is unpacked
  // sooner than they start.
  struct stat archive {};
  if (stat(path_.c_str(), &archive) != 0 || archive.st_size < kSmallestUnpackedAhead) return;
  // The unnamed files are made where the entries go, or, while that is not
  // made yet, in the directory that will hold it: the same filesystem.
  std::string directory = baseDir_.utf8_string();
  if (!platform::DirectoryExists(directory)) {
    while (!directory.empty() && directory.back() == '/') directory.pop_back();
    const size_t parent = directory.find_last_of('/');
    directory = parent == std::string::npos ? std::string() : directory.substr(0, parent + 1);
    if (!platform::DirectoryExists(directory)) return;
  }
  unzFile zip = Zip(zip_);
  std::vector<InflateAhead::Entry> entries;
  entries.reserve(static_cast<size_t>(entryCount_));
  for (int32_t index = 0; index < entryCount_; ++index) {
    const int moved = index == 0 ? unzGoToFirstFile(zip) : unzGoToNextFile(zip);
    unz64_file_pos position{};
    unz_file_info64 info{};
    if (moved != UNZ_OK || unzGetFilePos64(zip, &position) != UNZ_OK ||
        unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
      break;
    }
    InflateAhead::Entry entry;
    entry.directoryOffset = position.pos_in_zip_directory;
    entry.number = position.num_of_file;
    entry.compressedSize = info.compressed_size;
    // Directories and encrypted entries are never read.
    entry.unpack = !(info.flag & 1) && !(AttributesOf(info) & archive_attribute::kDirectory);
    entries.push_back(entry);
  }
  current_ = -1;  // minizip was moved: the next entry asked for starts from the first
  ahead_ = std::make_unique<InflateAhead>(path_, directory, std::move(entries), workers);
}

uint32_t ArchiveReader::Close() {
  ahead_.reset();
  if (zip_) {
    unzClose(Zip(zip_));
    zip_ = nullptr;
  }
  return archive_result::kOk;
}
