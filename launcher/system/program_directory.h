// The launcher works in its own directory, as a Windows shortcut starts it:
// files named without a directory (manifest entries without a local path,
// say) land beside the launcher, not wherever it was started from.
#pragma once

#include <wx/string.h>

#include <optional>
#include <string>

// Makes `directory` (the program directory as the system gave it, with its
// trailing separator) the current directory and returns the name the
// launcher's paths use for it: `directory` itself, or "./" when its bytes
// are not valid UTF-8 (GBK names unpacked from a Windows archive). The
// launcher's paths are UTF-8 text, so such a directory is named from inside
// itself and its bytes are never converted. Nothing, after a message box
// that tells the player why, when the directory cannot be entered: the
// launcher must not start then.
std::optional<wxString> EnterProgramDirectory(const std::string& directory);
