// [Setting] of resolution.ini: full screen, resolution code and sound. One
// process-wide record, reached through GameSettings(); used by the UI thread
// only, yet Load and Save lock like the other records. Nothing of the
// windows is called while the lock is held.
#pragma once

#include <wx/string.h>

#include <mutex>

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

  std::unique_lock<std::recursive_mutex> Lock() const {
    return std::unique_lock<std::recursive_mutex>(mutex_);
  }

  bool FullScreen = false;
  wxString Resolution;
  bool Voice = true;
  wxString filePath;

 private:
  mutable std::recursive_mutex mutex_;
};

class GameSettings& GameSettings();
