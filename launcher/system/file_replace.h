// Replacing an installed file through the platform's one replacement
// (platform/file_replacement.h): the new content goes to a temporary file
// beside the target and takes the target's place in one rename, and an
// installed read-only file is left alone.
#pragma once

#include <wx/string.h>

#include <string>

// Copies the plain file `source` to `target`, replacing a target file. A
// replaced file keeps its permission bits; a new one gets the source's (a
// read-only source gives a read-only copy). The new content and its name
// are on disk when this returns true. False, with the target untouched, when
// the source cannot be read, the copy cannot be written whole, or the target
// is read-only or not a plain file.
bool CopyFileReplacing(const wxString& source, const wxString& target);

// Writes `bytes` as the whole new content of `target` the same way (a
// replaced file keeps its permissions, a new one gets 0644). False, with the
// target untouched, when it cannot be written whole or the target is
// read-only or not a plain file.
bool WriteFileReplacing(const wxString& target, const std::string& bytes);
