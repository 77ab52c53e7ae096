#include "platform/stdio_file.h"

#include <stdio.h>

namespace platform {

void StdioFileCloser::operator()(std::FILE* file) const { std::fclose(file); }

StdioFile OpenStdioFile(const char* path, const char* mode) {
  return StdioFile(std::fopen(path, mode));
}

StdioFile StdioFileOver(FileDescriptor fd, const char* mode) {
  if (!fd.ok()) return nullptr;
  StdioFile file(fdopen(fd.get(), mode));
  if (file) fd.Release();
  return file;
}

bool CloseStdioFile(StdioFile& file) {
  std::FILE* open = file.release();
  return open != nullptr && std::fclose(open) == 0;
}

}  // namespace platform
