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

// A part of the file held in memory.
struct Window {
  uint64_t start = 0;
  size_t length = 0;
  uint64_t lastUse = 0;
  std::unique_ptr<char[]> bytes{new char[kBufferSize]};
};

struct BufferedFile {
  int fd = -1;
  // The archive's length, taken once: nothing is read at or past it. minizip
  // reads byte by byte, and a damaged archive can send it over thousands of
  // bytes beyond the end, each of which would otherwise be a system call.
  uint64_t end = 0;
  uint64_t position = 0;
  // Two windows: describing an entry reads its central record (at the end
  // of the archive) and its local header (at its data) in turn, and each
  // keeps its window instead of evicting the other's.
  Window windows[2];
  uint64_t uses = 0;
  bool failed = false;
};

BufferedFile* File(voidpf stream) { return static_cast<BufferedFile*>(stream); }

// Reads at the file's position; false at the end or on an error.
bool ReadAt(BufferedFile& file, char* into, size_t size, size_t& got) {
  got = 0;
  if (file.position >= file.end) return false;
  size = static_cast<size_t>(std::min<uint64_t>(size, file.end - file.position));
  for (;;) {
    const ssize_t read = pread(file.fd, into, size, static_cast<off_t>(file.position));
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) file.failed = true;
    if (read == 0) file.end = file.position;  // it shrank
    got = read > 0 ? static_cast<size_t>(read) : 0;
    return read > 0;
  }
}

voidpf ZCALLBACK OpenFile(voidpf, const void* name, int mode) {
  // minizip's unzip only ever reads.
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  const int fd = open(static_cast<const char*>(name), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  BufferedFile* file = new BufferedFile;
  file->fd = fd;
  file->end = static_cast<uint64_t>(info.st_size);
  return file;
}

// The window that holds the file's position, or null.
Window* WindowAtPosition(BufferedFile& file) {
  for (Window& window : file.windows) {
    if (file.position >= window.start && file.position < window.start + window.length) {
      window.lastUse = ++file.uses;
      return &window;
    }
  }
  return nullptr;
}

uLong ZCALLBACK ReadFile(voidpf, voidpf stream, void* buffer, uLong size) {
  BufferedFile& file = *File(stream);
  if (file.position >= file.end) return 0;  // the common case in a damaged archive
  char* out = static_cast<char*>(buffer);
  uLong done = 0;
  while (done < size) {
    const size_t left = size - done;
    if (Window* window = WindowAtPosition(file)) {
      const size_t at = static_cast<size_t>(file.position - window->start);
      const size_t part = std::min(window->length - at, left);
      std::memcpy(out + done, window->bytes.get() + at, part);
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
    Window& oldest =
        file.windows[0].lastUse <= file.windows[1].lastUse ? file.windows[0] : file.windows[1];
    oldest.length = 0;
    if (!ReadAt(file, oldest.bytes.get(), kBufferSize, got)) break;
    oldest.start = file.position;
    oldest.length = got;
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
    case ZLIB_FILEFUNC_SEEK_END:
      from = file.end;
      break;
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
