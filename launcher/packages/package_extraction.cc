#include "launcher/packages/package_extraction.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "launcher/packages/archive_reader.h"
#include "launcher/packages/delete_directory.h"
#include "launcher/packages/disk_room.h"
#include "platform/file_descriptor.h"
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

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The package file: the stem followed by `extension` as given, else in
// any letter case (the first such name in byte order).
wxString PackagePath(const wxString& stem, const std::string& extension) {
  const std::string exact = stem.utf8_string() + extension;
  struct stat info {};
  if (lstat(exact.c_str(), &info) == 0) return wxString::FromUTF8(exact);
  const size_t slash = exact.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : exact.substr(0, slash + 1);
  const std::string base = exact.substr(slash == std::string::npos ? 0 : slash + 1);
  const size_t stemLength = base.size() - extension.size();
  std::string found;
  if (DIR* listing = opendir(dir.c_str())) {
    while (const dirent* entry = readdir(listing)) {
      const std::string name = entry->d_name;
      if (name.size() == base.size() && name.compare(0, stemLength, base, 0, stemLength) == 0 &&
          AsciiLower(name.substr(stemLength)) == extension && (found.empty() || name < found)) {
        found = name;
      }
    }
    closedir(listing);
  }
  if (found.empty()) return wxString::FromUTF8(exact);
  return wxString::FromUTF8(slash == std::string::npos ? found : dir + found);
}

// Fails when what the package's entries declare does not fit in the room
// left on the filesystem that is to hold `stem`, keeping the reserve free.
platform::Status RoomToUnpack(const wxString& stem, const ArchiveReader& reader, int32_t entries) {
  const std::string path = stem.utf8_string();
  const size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  platform::FileDescriptor fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.ok()) return platform::Status();  // nothing to measure: the writes will tell
  const DiskRoom room = RoomOnFilesystemOf(fd.get());
  // Each entry takes up to a block more than its bytes.
  const uint64_t needed =
      AddSaturating(reader.DeclaredBytes(), static_cast<uint64_t>(entries) * room.block);
  if (needed <= room.bytes) return platform::Status();
  return platform::Error{"no room on the disk to unpack " + path + ": " + std::to_string(needed) +
                         " bytes needed, " + std::to_string(room.bytes) + " to spare"};
}

// Why the entries failed: the first one's cause, and how many more failed.
class EntryFailures {
 public:
  void Note(const wxString& cause) {
    if (count_++ == 0) first_ = cause;
  }
  bool any() const { return count_ > 0; }
  std::string Text() const {
    wxString text = first_;
    if (count_ == 2) text += ", and 1 more entry failed";
    if (count_ > 2) text += wxString::Format(", and %d more entries failed", count_ - 1);
    return text.utf8_string();
  }

 private:
  int count_ = 0;
  wxString first_;
};

}  // namespace

platform::Status UnpackPackage(const wxString& stem, bool isTre, const PackageProgress& progress) {
  const wxString plainStem = UndoubledBackslashes(stem);
  // The stem must name a directory of its own: not empty, nor "." or ".."
  // (a package "..upd" has the directory that holds it as its stem).
  const wxString last = plainStem.AfterLast(platform::kPathSeparator);
  if (last.empty() || last == "." || last == "..")
    return platform::Error{"package " + plainStem.utf8_string() + " has no name to unpack into"};
  const wxString packagePath = PackagePath(plainStem, isTre ? ".tre" : ".upd");
  std::unique_ptr<ArchiveReader> reader = ArchiveReader::Open(packagePath);
  if (!reader) {
    if (!platform::FileExists(packagePath.utf8_string()))
      return platform::Error::FromErrno(packagePath.utf8_string(), ENOENT);
    return platform::Error{DescribeArchiveResult(LastArchiveResult(), packagePath).utf8_string()};
  }
  // Nothing a killed run left there may be installed with this package.
  if (platform::DirectoryExists(plainStem.utf8_string()) && !DeleteDirectory(plainStem)) {
    return platform::Error{"cannot clear " + plainStem.utf8_string() +
                           ", left by an earlier unpacking"};
  }
  ArchiveEntry countAnswer;
  SetLastArchiveResult(reader->GetItem(-1, countAnswer));
  const int32_t count = countAnswer.index;
  if (platform::Status room = RoomToUnpack(plainStem, *reader, count); !room) {
    SetLastArchiveResult(archive_result::kWriteFailed);
    return room;
  }
  SetLastArchiveResult(reader->SetBaseDir(plainStem));
  reader->StartInflatingAhead();
  EntryFailures failures;
  if (reader->EntriesMissing())
    failures.Note("damaged package " + packagePath + ": its directory names entries it lacks");

  for (int32_t index = 0; index < count; ++index) {
    ArchiveEntry entry;
    uint32_t result = reader->GetItem(index, entry);
    SetLastArchiveResult(result);
    const wxString name = result == archive_result::kOk
                              ? entry.name
                              : wxString::Format("number %d", static_cast<int>(index) + 1);
    if (result == archive_result::kOk) result = reader->ExtractItem(index, entry.name);
    SetLastArchiveResult(result);
    if (result != archive_result::kOk) {
      failures.Note(DescribeArchiveResult(result, name, reader->FileError(), reader->FailedFile()));
    }
    if (progress) progress(static_cast<float>((index + 1) * 100.0 / count));
  }
  SetLastArchiveResult(reader->Close());
  if (!failures.any()) return platform::Status();
  // A failed package leaves nothing that a later step could take for it.
  DeleteDirectory(plainStem);
  return platform::Error{failures.Text()};
}

bool UnzipPackage(const wxString& stem, bool isTre, const PackageProgress& progress) {
  return UnpackPackage(stem, isTre, progress).ok();
}
