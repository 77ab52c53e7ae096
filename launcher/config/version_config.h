// [Version] of version.ini: the installed game and launcher versions. One
// process-wide record, reached through VersionConfig().
//
// Threads: the update thread changes and saves it while the UI thread reads
// it. Hold Lock() while reading or writing fields once the worker threads
// run; Load and Save lock themselves. Nothing of the windows is called
// while it is held (it is file and record work); the update library's
// holder lock may be held when it is taken, never the other way round.
#pragma once

#include <wx/string.h>

#include <mutex>

class VersionConfig {
 public:
  VersionConfig() = default;
  VersionConfig(const VersionConfig&) = delete;
  VersionConfig& operator=(const VersionConfig&) = delete;

  // Reads Version and LVersion from `path` (remembered in filePath). False
  // when the path is empty, when the file cannot be opened (after a message
  // box) or when it has no Version key (no message; Version unchanged, but
  // an LVersion in the file is still read).
  bool Load(wxString path);

  // Writes Version and LVersion into filePath, keeping everything else in
  // the file; a missing file is written anew. False when it cannot be
  // written.
  bool Save();

  std::unique_lock<std::recursive_mutex> Lock() const {
    return std::unique_lock<std::recursive_mutex>(mutex_);
  }

  wxString Version;
  wxString LVersion;
  wxString filePath;

 private:
  mutable std::recursive_mutex mutex_;
};

class VersionConfig& VersionConfig();
