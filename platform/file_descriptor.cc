#include "platform/file_descriptor.h"

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

namespace platform {
namespace {

// Repeats `step` (one read or write of the bytes from `done` on, returning
// what read/write return) until `size` bytes moved; an interrupted call is
// retried, an error or an end of file ends it with false.
template <typename Step>
bool MoveAll(size_t size, Step step) {
  size_t done = 0;
  while (done < size) {
    const ssize_t moved = step(done);
    if (moved < 0 && errno == EINTR) continue;
    if (moved == 0) errno = EIO;
    if (moved <= 0) return false;
    done += static_cast<size_t>(moved);
  }
  return true;
}

}  // namespace

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.Release();
  }
  return *this;
}

int FileDescriptor::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

bool FileDescriptor::Close() {
  const int fd = fd_;
  fd_ = -1;
  return fd >= 0 && close(fd) == 0;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  return MoveAll(size, [&](size_t done) { return write(fd, bytes + done, size - done); });
}

bool WriteAt(int fd, uint64_t position, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  return MoveAll(size, [&](size_t done) {
    return pwrite(fd, bytes + done, size - done, static_cast<off_t>(position + done));
  });
}

bool ReadAt(int fd, uint64_t position, void* data, size_t size) {
  char* bytes = static_cast<char*>(data);
  return MoveAll(size, [&](size_t done) {
    return pread(fd, bytes + done, size - done, static_cast<off_t>(position + done));
  });
}

bool CopyAll(int from, int to) {
  // Within the kernel where the two filesystems allow it. What it refuses,
  // and whatever follows where it saw an end (files that tell no true size
  // end early there), goes through a buffer from the positions it reached.
  constexpr size_t kChunk = size_t{1} << 30;
  for (;;) {
    const ssize_t moved = copy_file_range(from, nullptr, to, nullptr, kChunk, 0);
    if (moved > 0) continue;
    if (moved == 0) break;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
    break;
  }
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(from, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!WriteAll(to, buffer, static_cast<size_t>(got))) return false;
  }
}

}  // namespace platform
