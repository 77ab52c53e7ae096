// The launcher works in its own directory, as a Windows shortcut starts it:
// files named without a directory (manifest entries without a local path,
// say) land beside the launcher, not wherever it was started from.
#pragma once

#include <string>

// Makes `directory` (the program directory, with its trailing separator)
// the current directory. False, after a message box that tells the player
// why, when its path is not valid UTF-8 (the launcher's paths are UTF-8
// text throughout, and another path would put its files somewhere else) or
// when it cannot be entered; the launcher must not start then.
bool EnterProgramDirectory(const std::string& directory);
