// [Setup] of orvo.ini: update and server-list URLs and the chosen game
// server. One process-wide record, reached through SetupConfig():
//
//   { auto lock = SetupConfig().Lock();
//     SetupConfig().ServerAddr = addr;
//     SetupConfig().Save(); }
//
// Threads: the UI thread and the server-list thread both change and save the
// record. Hold Lock() while reading or writing fields from any thread once
// the worker threads run; Load and Save take the same (recursive) lock
// themselves, so no two saves of orvo.ini ever interleave. Nothing of the
// windows is called while it is held: it is file and record work.
#pragma once

#include <wx/string.h>

#include <mutex>

class SetupConfig {
 public:
  SetupConfig() = default;
  SetupConfig(const SetupConfig&) = delete;
  SetupConfig& operator=(const SetupConfig&) = delete;

  // Reads the record from `path` (remembered in filePath, also on failure).
  // False when the path is empty or the file cannot be opened; no message.
  // Derives NewUpdateVersionUrl1/2 from UpdateVersionUrl/2 when missing
  // (extension replaced by "_newStyle.xml", kept in memory only) and saves
  // after each derivation.
  bool Load(wxString path);

  // Writes ServerAddr, ServerPort, ChargeUrl and ServerSid into filePath,
  // creating the file when missing and keeping everything else in it.
  bool Save();

  std::unique_lock<std::recursive_mutex> Lock() const {
    return std::unique_lock<std::recursive_mutex>(mutex_);
  }

  wxString ServerListUrl;
  wxString UpdateVersionUrl;
  wxString ServerListUrl2;
  wxString UpdateVersionUrl2;
  wxString ServerAddr;
  wxString ServerPort;
  wxString ChargeUrl;
  wxString NewUpdateVersionUrl1;
  wxString NewUpdateVersionUrl2;
  wxString ServerSid;
  wxString filePath;

 private:
  mutable std::recursive_mutex mutex_;
};

// The one instance, built on first call. Name the type as `class SetupConfig`.
class SetupConfig& SetupConfig();
