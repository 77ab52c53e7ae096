// A lock that one process at a time holds on a directory: an exclusive
// flock on the directory itself, so that no file is added to it. It is
// released when the last descriptor for it closes, at the latest when the
// holder ends; a child that inherits the descriptor holds it too.
#pragma once

#include <string>

#include "platform/file_descriptor.h"

namespace platform {

class DirectoryLock {
 public:
  DirectoryLock() = default;
  ~DirectoryLock() { Release(); }
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

  // Takes the lock on `directory` without waiting. False when another
  // holder has it or the directory cannot be opened. Already held: true.
  bool TryAcquire(const std::string& directory);
  void Release();
  bool held() const { return fd_.ok(); }
  // The descriptor that holds the lock (close-on-exec); -1 when not held.
  int descriptor() const { return fd_.get(); }

 private:
  FileDescriptor fd_;
};

}  // namespace platform
