#include "platform/fresh_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_descriptor.h"

namespace platform {
namespace {

constexpr mode_t kFileMode = 0644;

int OpenRetrying(const char* path, int flags) {
  int fd;
  do {
    fd = open(path, flags, kFileMode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// The existing file itself, when it is a plain file that only this name
// links to; -1 otherwise.
int OpenOwnRegularFile(const char* path, int access) {
  // O_NONBLOCK: a FIFO in the way must not stall the open.
  FileDescriptor fd(OpenRetrying(path, access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd.ok()) return -1;
  struct stat info {};
  if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 ||
      ftruncate(fd.get(), 0) != 0) {
    const int error = errno;
    fd.Close();
    errno = error;
    return -1;
  }
  const int flags = fcntl(fd.get(), F_GETFL);
  if (flags >= 0) fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  return fd.Release();
}

}  // namespace

int CreateFreshFile(const char* path, bool readToo) {
  const int access = readToo ? O_RDWR : O_WRONLY;
  const int created = OpenRetrying(path, access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC);
  if (created >= 0 || errno != EEXIST) return created;
  // Kept in place when it may be: its owner and mode stay, and a directory
  // that is not writable does not stop the write.
  const int existing = OpenOwnRegularFile(path, access);
  if (existing >= 0) return existing;
  if (unlink(path) != 0) return -1;
  return OpenRetrying(path, access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC);
}

int OpenReplacingLinks(const char* path, bool readToo) {
  struct stat info {};
  if (lstat(path, &info) == 0 &&
      (S_ISLNK(info.st_mode) || (S_ISREG(info.st_mode) && info.st_nlink > 1)) &&
      unlink(path) != 0) {
    return -1;
  }
  const int access = readToo ? O_RDWR : O_WRONLY;
  int fd;
  do {
    // Created with the usual mode (the umask applies), as fopen would.
    fd = open(path, access | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace platform
