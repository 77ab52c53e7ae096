#include "platform/file_replacement.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <utility>

namespace platform {
namespace {

constexpr size_t kRandomLength = 6;
constexpr int kNameAttempts = 100;

// "<target>.XXXXXX" with six random letters or digits; the target's name is
// cut short where the whole would be too long for a directory entry.
bool FreshNameBeside(const std::string& target, std::string& name) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  const size_t slash = target.find_last_of('/');
  const size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
  std::string base = target.substr(baseStart);
  if (base.size() + 1 + kRandomLength > NAME_MAX) base.resize(NAME_MAX - 1 - kRandomLength);
  unsigned char bytes[kRandomLength];
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return false;
  name = target.substr(0, baseStart) + base + ".";
  for (unsigned char byte : bytes) name += kLetters[byte % 62];
  return true;
}

// Made as a plain new file is, so the umask gives it its bits.
int MakeTemporaryBeside(const std::string& target, std::string& path) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name;
    if (!FreshNameBeside(target, name)) return -1;
    int fd;
    do {
      fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      path = std::move(name);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

Result<FileReplacement> FileReplacement::Begin(const std::string& target, ReplaceOptions options) {
  if (target.empty()) return Error{"no file named to replace", ENOENT};
  FileReplacement replacement;
  replacement.target_ = target;
  replacement.flush_ = options.flush;
  struct stat installed {};
  if (stat(target.c_str(), &installed) == 0) {
    if (!S_ISREG(installed.st_mode))
      return Error::FromErrno(target, S_ISDIR(installed.st_mode) ? EISDIR : EINVAL);
    if (options.keepReadOnly && !(installed.st_mode & S_IWUSR))
      return Error::FromErrno(target, EACCES);
    replacement.mode_ = installed.st_mode & 07777;
  } else {
    replacement.mode_ = options.newFileMode;
  }
  std::string path;
  const int fd = options.makeTemporary ? options.makeTemporary(target, path)
                                       : MakeTemporaryBeside(target, path);
  if (fd < 0) return Error::FromErrno("cannot create a file beside " + target, errno);
  replacement.file_ = FileDescriptor(fd);
  replacement.path_ = std::move(path);
  return Result<FileReplacement>(std::move(replacement));
}

FileReplacement::FileReplacement(FileReplacement&& other) noexcept
    : target_(std::move(other.target_)),
      path_(std::exchange(other.path_, std::string())),
      file_(std::move(other.file_)),
      mode_(other.mode_),
      flush_(other.flush_),
      placed_(other.placed_) {}

FileReplacement& FileReplacement::operator=(FileReplacement&& other) noexcept {
  if (this != &other) {
    Abandon();
    target_ = std::move(other.target_);
    path_ = std::exchange(other.path_, std::string());
    file_ = std::move(other.file_);
    mode_ = other.mode_;
    flush_ = other.flush_;
    placed_ = other.placed_;
  }
  return *this;
}

FileReplacement::~FileReplacement() { Abandon(); }

Status FileReplacement::Finish() {
  if (!file_.ok()) return Status();  // finished already
  int error = 0;
  if (mode_ && fchmod(file_.get(), *mode_) != 0) error = errno;
  if (!error && flush_ == ReplaceFlush::kFileAndDirectory && fsync(file_.get()) != 0) error = errno;
  // A write error may only show when the file is closed.
  if (!file_.Close() && !error) error = errno;
  // Named by its target: the temporary name goes with the failure.
  if (error) return Error::WritingFile(target_, error);
  return Status();
}

Status FileReplacement::Place() {
  if (placed_ || path_.empty()) return Error{"nothing to put in place of " + target_, ENOENT};
  if (Status finished = Finish(); !finished) return finished;
  if (std::rename(path_.c_str(), target_.c_str()) != 0)
    return Error::FromErrno("cannot replace " + target_, errno);
  placed_ = true;
  if (flush_ == ReplaceFlush::kFileAndDirectory) return FlushDirectoryOf(target_);
  return Status();
}

Status FileReplacement::Commit() {
  if (Status finished = Finish(); !finished) return finished;
  return Place();
}

void FileReplacement::Abandon() {
  file_.Close();
  if (!placed_ && !path_.empty()) unlink(path_.c_str());
  path_.clear();
}

Status ReplaceFileContent(const std::string& target, std::string_view bytes,
                          ReplaceOptions options) {
  Result<FileReplacement> replacement = FileReplacement::Begin(target, std::move(options));
  if (!replacement) return replacement.error();
  if (!WriteAll(replacement.value().fd(), bytes.data(), bytes.size()))
    return Error::WritingFile(target, errno);
  return replacement.value().Commit();
}

Status ReplaceFileWithCopy(const std::string& source, const std::string& target,
                           ReplaceOptions options) {
  FileDescriptor in(open(source.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (!in.ok() || fstat(in.get(), &info) != 0)
    return Error::FromErrno("cannot read " + source, errno);
  if (!S_ISREG(info.st_mode)) return Error::FromErrno(source, EINVAL);
  if (!options.newFileMode) options.newFileMode = info.st_mode & 07777;
  Result<FileReplacement> replacement = FileReplacement::Begin(target, std::move(options));
  if (!replacement) return replacement.error();
  if (!CopyAll(in.get(), replacement.value().fd()))
    return Error::FromErrno("cannot copy " + source, errno);
  return replacement.value().Commit();
}

Status FlushDirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string directory =
      slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  FileDescriptor fd(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.ok() || fsync(fd.get()) != 0) return Error::FromErrno("cannot flush " + directory, errno);
  return Status();
}

}  // namespace platform
