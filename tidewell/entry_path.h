// Local paths named by a manifest (`name`, `local`): untrusted text that must
// not reach outside the directory it is meant for.
#pragma once

#include <wx/string.h>

namespace tidewell {

// Both "\" and "/" separate names in a manifest; returns native separators.
wxString ToNativePath(const wxString& manifestPath);

// True when `path` (native separators) is relative and no component is "..",
// so that appending it to a directory stays inside that directory.
bool StaysInsideDirectory(const wxString& path);

}  // namespace tidewell
