// Where the update library lives. Every local path of the library (its work
// directory, the targets of entries with `local`, its own replacement) is
// built from the directory of its own file.
#pragma once

#include <wx/string.h>

namespace tidewell {

// The full path of the library file (found through the loader), or the path
// set by SetModulePathForTesting.
wxString ModulePath();

// ModulePath() up to and including its last separator; empty when the path
// has no separator after its first character.
wxString LibraryDirectory();

// Test hook: makes the library believe its file is `path`, so that tests can
// work in a temporary directory. An empty path restores the real one.
void SetModulePathForTesting(const wxString& path);

}  // namespace tidewell
