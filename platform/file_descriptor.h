// A POSIX file descriptor that closes itself, and the read/write loops that
// resume after interrupted or short transfers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

class FileDescriptor {
 public:
  // Takes ownership of `fd`; a negative value holds nothing.
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  // Closes now (a write error may only show here); false when nothing was
  // open or close failed. The descriptor is given up either way.
  bool Close();

 private:
  int fd_;
};

// Writes all `size` bytes at the file position; false on an error.
bool WriteAll(int fd, const void* data, size_t size);
// Writes all `size` bytes at `position`; false on an error.
bool WriteAt(int fd, uint64_t position, const void* data, size_t size);
// Reads exactly `size` bytes from `position`; false on an error or when the
// file ends first.
bool ReadAt(int fd, uint64_t position, void* data, size_t size);

}  // namespace platform
