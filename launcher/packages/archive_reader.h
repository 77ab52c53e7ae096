// A small reader over minizip for update packages: opens a zip archive by
// name, describes its entries (cleaned relative names, Windows attribute
// bits, file times) and writes single entries to files below a base
// directory.
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class InflateAhead;
namespace platform {
class FileDescriptor;
}

// Result codes of the reader's operations; 0 is success.
namespace archive_result {
inline constexpr uint32_t kOk = 0;
// The archive cannot be opened or is no zip archive; or the output file
// cannot be created (also an entry name that would leave the base
// directory).
inline constexpr uint32_t kOpenFailed = 0x200;
inline constexpr uint32_t kWriteFailed = 0x400;
// The local header disagrees with the central directory, or minizip cannot
// reach the entry at all (a damaged central directory).
inline constexpr uint32_t kHeaderMismatch = 0x700;
inline constexpr uint32_t kExtraFieldUnreadable = 0x800;
// Encrypted entries cannot be extracted: no password is ever given.
inline constexpr uint32_t kEncrypted = 0x1000;
inline constexpr uint32_t kBadIndex = 0x10000;
inline constexpr uint32_t kInflateFailed = 0x5000000;
}  // namespace archive_result

// Windows file-attribute bits as the entries carry them.
namespace archive_attribute {
inline constexpr uint32_t kReadOnly = 0x01;
inline constexpr uint32_t kHidden = 0x02;
inline constexpr uint32_t kSystem = 0x04;
inline constexpr uint32_t kDirectory = 0x10;
inline constexpr uint32_t kArchive = 0x20;
}  // namespace archive_attribute

// Windows file times: 100-nanosecond units since 1601-01-01 UTC; 0 = unknown.
struct ArchiveEntry {
  int32_t index = 0;  // for the count query (index -1): the number of entries
  wxString name;      // cleaned relative name, separators as stored
  uint32_t attributes = 0;
  uint64_t accessTime = 0;
  uint64_t creationTime = 0;
  uint64_t writeTime = 0;
  int32_t compressedSize = 0;
  int32_t uncompressedSize = 0;
  // The permission bits of an entry made on Unix (0 when it carries none);
  // an extracted file takes them.
  uint32_t unixMode = 0;
};

// The result of the most recent reader operation that records one
// (ArchiveReader::Open, and each step of UnzipPackage). Process-wide.
uint32_t LastArchiveResult();
void SetLastArchiveResult(uint32_t result);

// What `result` says of the entry `name` (or of the archive at `name` for
// a failed open), for the run log: "damaged entry <name> (its data does not
// inflate, archive code 0x5000000)". `fileError` is the errno behind a file
// that could not be made or written (ArchiveReader::FileError), 0 when none:
// then "disk full writing <file>" and the like name the file at `file`.
wxString DescribeArchiveResult(uint32_t result, const wxString& name, int fileError = 0,
                               const wxString& file = wxString());

class ArchiveReader {
 public:
  static constexpr size_t kBufferSize = 16384;

  // A reader on the archive at `path`, with the process's current directory
  // as base directory; null on failure (last result 0x200).
  static std::unique_ptr<ArchiveReader> Open(const wxString& path);
  ~ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // Entries go below `dir`; a separator is added when it has none at its end.
  uint32_t SetBaseDir(const wxString& dir);
  const wxString& BaseDir() const { return baseDir_; }

  // Describes entry `index`; index -1 asks for the number of entries
  // (entry.index = count, every other field empty).
  uint32_t GetItem(int32_t index, ArchiveEntry& entry);

  // Writes entry `index` to the base directory + `name`: a directory entry
  // creates the directory, a file entry the file with its directories. A
  // file entry is written under a temporary name and renamed into place only
  // when it came out whole; when it fails (encrypted, damaged, not
  // writable) no file is left at its place, not even one from before.
  uint32_t ExtractItem(int32_t index, const wxString& name);

  // After an ExtractItem that could not make or write its file: the errno
  // (0 when the system gave none, e.g. for a name that would leave the base
  // directory) and the file's path.
  int FileError() const { return fileError_; }
  const wxString& FailedFile() const { return failedFile_; }

  // Creates `base` (its last level) when missing, then every level of
  // `path` below it, from the top down. Failures are not reported.
  static void EnsureDirectory(const wxString& base, const wxString& path);

  // From now on entries are unpacked on worker threads ahead of
  // ExtractItem, for a caller that extracts them in their order (any other
  // order gives the same results, only without the head start). Call it
  // once the base directory is set.
  void StartInflatingAhead();

  uint32_t Close();

  // The cleaning of a stored entry name: drive letters, leading separators
  // and everything up to a "\..\"-like component are dropped.
  static wxString CleanEntryName(const wxString& stored);

  // The sum of the uncompressed sizes the entries declare: the most that
  // unpacking them all can write.
  uint64_t DeclaredBytes() const { return declaredBytes_; }

  // True when the end record claims more entries than the archive holds:
  // a damaged package, even though each entry present may unpack.
  bool EntriesMissing() const { return entriesMissing_; }

 private:
  ArchiveReader() = default;
  int32_t EntryCount() const;
  // Positions minizip on entry `index`; false when it cannot get there.
  bool GoToEntry(int32_t index);
  uint32_t Describe(int32_t index, ArchiveEntry& entry);
  uint32_t WriteEntryTo(const wxString& fullPath, const ArchiveEntry& entry, bool encrypted);
  // Inflates the entry minizip stands on into `fd`; a result code.
  uint32_t CopyCurrentEntry(int fd);
  // Gives the file unpacked ahead its name at `path` and closes it; false
  // when it cannot (then nothing was changed at `path`).
  static bool LinkUnpacked(platform::FileDescriptor& file, const std::string& path);

  std::string path_;
  std::unique_ptr<InflateAhead> ahead_;
  void* zip_ = nullptr;  // minizip's unzFile
  int32_t current_ = 0;  // the entry minizip stands on
  int32_t entryCount_ = 0;
  bool entriesMissing_ = false;
  uint64_t declaredBytes_ = 0;
  ArchiveEntry cached_;
  int32_t cachedIndex_ = -1;
  bool cachedEncrypted_ = false;
  std::unique_ptr<char[]> buffer_;
  wxString baseDir_;
  // The directory part made for the entry before (below baseDir_).
  wxString ensuredDirectory_;
  bool directoryEnsured_ = false;
  int fileError_ = 0;
  wxString failedFile_;
};
