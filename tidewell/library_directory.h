// Where the update library lives. Every local path of the library (its work
// directory, the targets of entries with `local`, its own replacement) is
// built from the directory of its own file.
#pragma once

#include <wx/string.h>

namespace tidewell {

// The full path of the library file, found through the loader.
wxString ModulePath();

// `path` up to and including its last separator; empty when the path has no
// separator after its first character.
wxString DirectoryOf(const wxString& path);

}  // namespace tidewell
