// Loading shared libraries at run time: the update library Tidewell and the
// account-registration library, both found in the program directory.
#pragma once

#include <string>

#include "platform/error.h"

namespace platform {

// Maps the Windows name of a library ("Tidewell.dll") to this platform's
// file name ("libTidewell.so"). Names without ".dll" get only the prefix and
// suffix.
std::string SharedLibraryFileName(const std::string& windowsName);

// A loaded library, unloaded when its owner goes; empty when default-made
// or moved from.
class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary();
  SharedLibrary(SharedLibrary&& other) noexcept;
  SharedLibrary& operator=(SharedLibrary&& other) noexcept;
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads the library at `path` (a full path, or a bare file name for the
  // loader's own search path).
  static Result<SharedLibrary> Load(const std::string& path);

  explicit operator bool() const { return handle_ != nullptr; }

  // The address of the exported symbol `name`; an error when the library is
  // empty or does not export it.
  Result<void*> Symbol(const char* name) const;

  // Unloads now; the library is empty afterwards.
  void Reset();

 private:
  explicit SharedLibrary(void* handle) : handle_(handle) {}
  void* handle_ = nullptr;
};

}  // namespace platform
