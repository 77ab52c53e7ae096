// [Setting] of resolution.ini: full screen, resolution code and sound. One
// process-wide record, reached through GameSettings(); the UI thread's
// alone (the settings dialog, the update panel, the game start), so it has
// no lock.
#pragma once

#include <wx/string.h>

class GameSettings {
 public:
  GameSettings() = default;
  GameSettings(const GameSettings&) = delete;
  GameSettings& operator=(const GameSettings&) = delete;

  // Reads FullScreen, Resolution and Voice from `path` (remembered in
  // filePath). The legacy resolutions "800*600" and "1024*768" become the
  // codes "0" and "1". False when the path is empty or the file cannot be
  // opened (after a message box); the defaults then stay.
  bool Load(wxString path);

  // Writes the three keys into filePath (bools as "1"/"0"), keeping
  // everything else; a missing file is written anew. False when it cannot
  // be read or written.
  bool Save();

  bool FullScreen = false;
  wxString Resolution;
  bool Voice = true;
  wxString filePath;
};

class GameSettings& GameSettings();
