#include "platform/error.h"

#include <cstring>

namespace platform {

Error Error::FromErrno(std::string what, int errnoValue) {
  what += ": ";
  what += std::strerror(errnoValue);
  return Error{std::move(what), errnoValue};
}

}  // namespace platform
