// Loading shared libraries at run time: the update library Tidewell and the
// account-registration library, both found in the program directory.
#pragma once

#include <string>

namespace platform {

struct SharedLibrary;  // opaque handle

// Maps the Windows name of a library ("Tidewell.dll") to this platform's
// file name ("libTidewell.so"). Names without ".dll" get only the prefix and
// suffix.
std::string SharedLibraryFileName(const std::string& windowsName);

// Loads the library at `path` (a full path); nullptr when it cannot be
// loaded. Each successful load must be matched by one UnloadSharedLibrary.
SharedLibrary* LoadSharedLibrary(const std::string& path);

// The address of the exported symbol `name`, or nullptr.
void* FindSymbol(SharedLibrary* library, const char* name);

// Drops one reference to the library; nullptr is ignored.
void UnloadSharedLibrary(SharedLibrary* library);

// The last loader error text, for logs and test messages.
std::string LastSharedLibraryError();

}  // namespace platform
