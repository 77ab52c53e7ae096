// A standard I/O stream that closes itself.
#pragma once

#include <cstdio>
#include <memory>

#include "platform/file_descriptor.h"

namespace platform {

struct StdioFileCloser {
  void operator()(std::FILE* file) const;
};
using StdioFile = std::unique_ptr<std::FILE, StdioFileCloser>;

// Opens `path` as fopen does.
StdioFile OpenStdioFile(const char* path, const char* mode);

// A stream over `fd`, which it takes over: when no stream can be had the
// descriptor is closed, and the result holds nothing.
StdioFile StdioFileOver(FileDescriptor fd, const char* mode);

// Closes `file` now (buffered data may fail to reach the file only here);
// false when that failed or nothing was open.
bool CloseStdioFile(StdioFile& file);

}  // namespace platform
