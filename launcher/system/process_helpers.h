// Operating-system helpers of the launcher outside its windows: stopping
// every running copy of the game before update files are installed, and
// keeping the display at 32 bits per pixel.
#pragma once

#include <wx/string.h>

// Stops every running process of the launcher's own user that runs the
// program directory's file `exeName` (named exactly so, case-sensitive; a
// script counts by the script's path). Processes elsewhere, of other users,
// or merely of that name are left alone. When `waitAfterKill` is set and at
// least one process was stopped, waits 500 ms once so that the system lets
// go of its files. False only when the process list cannot be taken.
bool KillProcessesByName(const wxString& exeName, bool waitAfterKill);

// Asks for the right to stop other users' processes; see
// platform::EnableDebugPrivilege. True when the request went through.
bool EnableDebugPrivilege();

// Switches a display of another colour depth to 32 bits per pixel, keeping
// its size and frequency, for this session only. Gives up silently after a
// few refused attempts. Always true.
bool EnsureTrueColor();
