#include "platform/shared_library.h"

#include <dlfcn.h>

#include <utility>

namespace platform {
namespace {

// dlerror's text, which is the loader's only account of the cause.
Error LoaderError() {
  const char* error = dlerror();
  return Error{error ? error : "unknown loader error"};
}

bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char c = text[text.size() - suffix.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

}  // namespace

std::string SharedLibraryFileName(const std::string& windowsName) {
  std::string base = windowsName;
  if (EndsWithIgnoringCase(base, ".dll")) base.resize(base.size() - 4);
  return "lib" + base + ".so";
}

SharedLibrary::~SharedLibrary() { Reset(); }

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
  if (this != &other) {
    Reset();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

Result<SharedLibrary> SharedLibrary::Load(const std::string& path) {
  if (path.empty()) return Error{"empty library path"};
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return LoaderError();
  return SharedLibrary(handle);
}

Result<void*> SharedLibrary::Symbol(const char* name) const {
  if (!handle_) return Error{"no library loaded"};
  if (!name) return Error{"no symbol name"};
  dlerror();
  void* symbol = dlsym(handle_, name);
  if (!symbol) return LoaderError();
  return symbol;
}

void SharedLibrary::Reset() {
  // A failed dlclose leaves nothing for us to undo.
  if (handle_) dlclose(std::exchange(handle_, nullptr));
}

}  // namespace platform
