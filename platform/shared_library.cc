#include "platform/shared_library.h"

#include <dlfcn.h>

namespace platform {
namespace {

thread_local std::string t_lastError;

void RememberError() {
  const char* error = dlerror();
  t_lastError = error ? error : "unknown loader error";
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

// The handle is dlopen's own pointer behind an opaque type.
struct SharedLibrary;

std::string SharedLibraryFileName(const std::string& windowsName) {
  std::string base = windowsName;
  if (EndsWithIgnoringCase(base, ".dll")) base.resize(base.size() - 4);
  return "lib" + base + ".so";
}

SharedLibrary* LoadSharedLibrary(const std::string& path) {
  if (path.empty()) {
    t_lastError = "empty library path";
    return nullptr;
  }
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) RememberError();
  return static_cast<SharedLibrary*>(handle);
}

void* FindSymbol(SharedLibrary* library, const char* name) {
  if (!library || !name) return nullptr;
  dlerror();
  void* symbol = dlsym(static_cast<void*>(library), name);
  if (!symbol) RememberError();
  return symbol;
}

void UnloadSharedLibrary(SharedLibrary* library) {
  if (library && dlclose(static_cast<void*>(library)) != 0) RememberError();
}

std::string LastSharedLibraryError() { return t_lastError; }

}  // namespace platform
