// A POSIX file descriptor that closes itself, and the read/write loops that
// resume after interrupted or short transfers. The loops allocate nothing
// and are safe in a signal handler.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

class FileDescriptor {
 public:
  // Takes ownership of `fd`; a negative value holds nothing.
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;

  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  // Closes now (a write error may only show here); false when nothing was
  // open or close failed. The descriptor is given up either way.
  bool Close();
  // Hands the descriptor over to the caller, who closes it.
  int Release();

 private:
  int fd_;
};

// Each of these fails with errno set; a transfer that moves nothing (a full
// device, or the end of the file) sets EIO.

// Writes all `size` bytes at the file position; false on an error.
bool WriteAll(int fd, const void* data, size_t size);
// Writes all `size` bytes at `position`; false on an error.
bool WriteAt(int fd, uint64_t position, const void* data, size_t size);
// Reads exactly `size` bytes from `position`; false on an error or when the
// file ends first.
bool ReadAt(int fd, uint64_t position, void* data, size_t size);
// Copies everything from the file position of `from` to its end into `to`
// at its position (in the kernel where it can).
bool CopyAll(int from, int to);

}  // namespace platform
