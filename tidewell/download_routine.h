// The transfer routine behind every fetch of the library: DownloadFile,
// unless a test or fuzz harness has put another in its place.
#pragma once

#include <curl/curl.h>
#include <wx/string.h>

#include <cstdint>

namespace tidewell {

using DownloadRoutine = bool (*)(CURL* handle, const wxString& url, const wxString& path,
                                 long connectTimeout, curl_progress_callback progress,
                                 uint64_t maxBytes);

// The routine in use; never null.
DownloadRoutine CurrentDownloadRoutine();

// Harness hook: `routine` serves every fetch from now on (nullptr restores
// DownloadFile). Returns the routine it replaces.
DownloadRoutine SetDownloadRoutineForTesting(DownloadRoutine routine);

}  // namespace tidewell
