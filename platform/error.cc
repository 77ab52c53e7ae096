#include "platform/error.h"

#include <cerrno>
#include <cstring>

namespace platform {

Error Error::FromErrno(std::string what, int errnoValue) {
  what += ": ";
  what += std::strerror(errnoValue);
  return Error{std::move(what), errnoValue};
}

Error Error::WritingFile(const std::string& path, int errnoValue) {
  if (errnoValue == ENOSPC) return Error{"disk full writing " + path, errnoValue};
  return FromErrno("cannot write " + path, errnoValue);
}

}  // namespace platform
