// The contract between the launcher and the update library Tidewell: the
// patch-object interface, its public members and the callbacks the host
// installs in them, and the one export that hands out the patch object.
//
// The library shares the process's wxWidgets (one copy, one heap), so the
// wxString values crossing this interface are ordinary copies that the
// receiver owns.
#pragma once

#include <curl/curl.h>
#include <wx/string.h>

#include <cstdint>

#include "download/transfer_outcome.h"

// Called by the library after each fetched file, after each version step and
// once at the end (all on the caller's thread):
//   per-file: (statusText, 1, 1, true,  user, false,       false)
//   step:     (nullptr,    0, 1, false, user, launcherSet, false)
//   final:    (nullptr,    0, 1, true,  user, false,       false)
using PatchStatusCallback = void (*)(const wchar_t* filePath, int32_t done, int32_t total,
                                     bool finished, void* user, bool launcherSet, bool flag);

// Asked by the library, with the host's `retryPauseContext`, before it
// repeats a failed transfer: the host waits as long as it sees fit (a short
// pause keeps a failing server from being flooded) and returns false when
// the library should give up the transfer now (the host is shutting down,
// or its time for the update is up).
using HostRetryPause = bool (*)(void* context);

// The routine the library transfers every file with, in the shape of the
// download routine both sides compile (download/download_file.h): one
// transfer of `url` into the file at `path` over `handle`, and what it came
// to.
using HostTransfer = TransferOutcome (*)(CURL* handle, const wxString& url, const wxString& path,
                                         long connectTimeout, curl_progress_callback progress,
                                         uint64_t maxBytes, long stallTimeoutSeconds);

// Capacity of CLivePatch::statusText, terminator included.
inline constexpr int kStatusTextCapacity = 400;

class CLivePatch {
 public:
  virtual ~CLivePatch() = default;

  // Replaces the library's own file when the manifest names a different one.
  virtual bool UpdateSelf() = 0;
  // Fetches and parses the manifest at `url`; the strings are copied. Null
  // pointers count as empty strings.
  virtual bool LoadManifest(const wchar_t* url, const wchar_t* clientVersion) = 0;
  // Applies every needed set; reads both strings through the references for
  // the whole call (the host may change the launcher version from inside a
  // status call).
  virtual bool ApplyPatches(const wxString& installedVersion,
                            const wxString& installedLauncherVersion) = 0;
  virtual wxString GetCurrentVersion() = 0;
  virtual wxString GetPatchVersion() = 0;
  virtual wxString GetLauncherVersion() = 0;
  virtual int32_t GetFileSize() = 0;
  virtual void ReleaseManifest() {}
  // Why the last LoadManifest, ApplyPatches or UpdateSelf failed, for the
  // host's log ("HTTP 404 from <url>"); empty after one that succeeded. The
  // library writes no log of its own.
  virtual wxString GetFailureCause() { return wxString(); }

  // Written by the host, never by the library.
  PatchStatusCallback statusCallback = nullptr;
  curl_progress_callback progressCallback = nullptr;  // client pointer is always null
  void* userData = nullptr;                           // fifth argument of every status call
  void* hostWindow = nullptr;                         // the host's own; never read here
  HostRetryPause retryPause = nullptr;                // null: retries follow at once
  void* retryPauseContext = nullptr;                  // handed to retryPause
  HostTransfer transfer = nullptr;                    // null: the library's own DownloadFile

  // The target path of the file being fetched, or the last error text.
  // Always terminated.
  wchar_t statusText[kStatusTextCapacity] = {};
};

// The library's single patch object; the same pointer on every call, never
// null, owned by the library (do not delete, do not use after unloading).
extern "C" CLivePatch* GetLivePatch();

// For hosts that resolve the export at run time.
using GetLivePatchFunction = CLivePatch* (*)();
inline constexpr char kGetLivePatchSymbol[] = "GetLivePatch";
