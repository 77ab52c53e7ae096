#include "platform/directory_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool DirectoryLock::TryAcquire(const std::string& directory) {
  if (fd_ >= 0) return true;
  const int fd =
      open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  int locked;
  do {
    locked = flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void DirectoryLock::Release() {
  if (fd_ < 0) return;
  // Closing lets go of it here; a child that inherited it keeps it.
  close(fd_);
  fd_ = -1;
}

}  // namespace platform
