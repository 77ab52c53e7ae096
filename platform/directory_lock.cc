#include "platform/directory_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {

bool DirectoryLock::TryAcquire(const std::string& directory) {
  if (fd_.ok()) return true;
  FileDescriptor fd(
      open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.ok()) return false;
  int locked;
  do {
    locked = flock(fd.get(), LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) return false;
  fd_ = std::move(fd);
  return true;
}

void DirectoryLock::Release() {
  // Closing lets go of it here; a child that inherited it keeps it.
  fd_.Close();
}

}  // namespace platform
