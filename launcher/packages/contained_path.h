// Names that come from outside the launcher (zip entries, delete lists) and
// are joined to a directory must stay inside that directory.
#pragma once

#include <wx/string.h>

// True when `name` is a relative path (either separator) with no ".."
// component and no drive letter, so that directory + name stays below the
// directory. An empty name is not contained.
bool IsContainedRelativePath(const wxString& name);

// `name` with every "\" turned into the native separator.
wxString NativeSeparators(const wxString& name);
