// Copies that replace an installed file without ever leaving it half
// written: the new content goes to a temporary file beside the target and
// takes the target's place in one rename.
#pragma once

#include <wx/string.h>

#include <string>

// Copies the plain file `source` to `target`, replacing a target file. A
// replaced file keeps its permission bits; a new one gets the source's (a
// read-only source gives a read-only copy). The new content and its name
// are on disk when this returns true. False, with the target untouched, when the source cannot be
// read, the copy cannot be written whole, or the target is read-only or a directory.
bool CopyFileReplacing(const wxString& source, const wxString& target);

// Writes `bytes` as the whole new content of `target` the same way (a
// replaced file keeps its permissions, a new one gets 0644). False, with the
// target untouched, when it cannot be written whole or the target is
// read-only or a directory.
bool WriteFileReplacing(const wxString& target, const std::string& bytes);
