// Deletes a directory with everything inside it, or a single file.
#pragma once

#include <wx/string.h>

// True when nothing is left at `path` afterwards.
bool DeleteDirectory(const wxString& path);
