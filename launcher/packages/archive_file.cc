#include "launcher/packages/archive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

constexpr size_t kBufferSize = 65536;

struct BufferedFile {
  int fd = -1;
  uint64_t position = 0;
  uint64_t bufferStart = 0;
  size_t bufferLength = 0;
  bool failed = false;
  std::unique_ptr<char[]> buffer{new char[kBufferSize]};
};

BufferedFile* File(voidpf stream) { return static_cast<BufferedFile*>(stream); }

// Reads at the file's position; false at the end or on an error.
bool ReadAt(BufferedFile& file, char* into, size_t size, size_t& got) {
  for (;;) {
    const ssize_t read = pread(file.fd, into, size, static_cast<off_t>(file.position));
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) file.failed = true;
    got = read > 0 ? static_cast<size_t>(read) : 0;
    return read > 0;
  }
}

voidpf ZCALLBACK OpenFile(voidpf, const void* name, int mode) {
  // minizip's unzip only ever reads.
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  const int fd = open(static_cast<const char*>(name), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  BufferedFile* file = new BufferedFile;
  file->fd = fd;
  return file;
}

uLong ZCALLBACK ReadFile(voidpf, voidpf stream, void* buffer, uLong size) {
  BufferedFile& file = *File(stream);
  char* out = static_cast<char*>(buffer);
  uLong done = 0;
  while (done < size) {
    const size_t left = size - done;
    if (file.position >= file.bufferStart && file.position < file.bufferStart + file.bufferLength) {
      const size_t at = static_cast<size_t>(file.position - file.bufferStart);
      const size_t part = std::min(file.bufferLength - at, left);
      std::memcpy(out + done, file.buffer.get() + at, part);
      file.position += part;
      done += part;
      continue;
    }
    size_t got = 0;
    if (left >= kBufferSize) {
      // Long reads go straight to the caller.
      if (!ReadAt(file, out + done, left, got)) break;
      file.position += got;
      done += got;
      continue;
    }
    file.bufferLength = 0;
    if (!ReadAt(file, file.buffer.get(), kBufferSize, got)) break;
    file.bufferStart = file.position;
    file.bufferLength = got;
  }
  return done;
}

uLong ZCALLBACK WriteFile(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellFile(voidpf, voidpf stream) { return File(stream)->position; }

// As fseeko: a place before the start or beyond what off_t holds is refused.
long ZCALLBACK SeekFile(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  BufferedFile& file = *File(stream);
  uint64_t from = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      break;
    case ZLIB_FILEFUNC_SEEK_CUR:
      from = file.position;
      break;
    case ZLIB_FILEFUNC_SEEK_END: {
      struct stat info {};
      if (fstat(file.fd, &info) != 0) return -1;
      from = static_cast<uint64_t>(info.st_size);
      break;
    }
    default:
      return -1;
  }
  constexpr uint64_t kFurthest = static_cast<uint64_t>(INT64_MAX);
  if (offset > kFurthest || from > kFurthest - offset) return -1;
  file.position = from + offset;
  return 0;
}

int ZCALLBACK CloseFile(voidpf, voidpf stream) {
  BufferedFile* file = File(stream);
  const int closed = close(file->fd);
  delete file;
  return closed;
}

int ZCALLBACK FileError(voidpf, voidpf stream) { return File(stream)->failed ? 1 : 0; }

}  // namespace

unzFile OpenArchiveFile(const std::string& path) {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = OpenFile;
  functions.zread_file = ReadFile;
  functions.zwrite_file = WriteFile;
  functions.ztell64_file = TellFile;
  functions.zseek64_file = SeekFile;
  functions.zclose_file = CloseFile;
  functions.zerror_file = FileError;
  return unzOpen2_64(path.c_str(), &functions);
}
