// Enter game: save the chosen server, start orvo.exe with "ws" from the
// launcher's directory, and end the launcher.
#pragma once

#include <wx/string.h>

// Runs on the UI thread. Saves orvo.ini's [Setup] first; without orvo.exe
// the player is told so and the launcher ends all the same. `programDir`
// ends with a separator.
void StartGame(const wxString& programDir);
