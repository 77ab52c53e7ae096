// What the library does through the patch object's public members, the
// host's side of the contract: its transfer routine and its pause before a
// repeated transfer, the status text it reads, and the status call.
#pragma once

#include <wx/string.h>

#include <cstdint>

#include "download/fetch_file.h"
#include "tidewell/live_patch.h"

namespace tidewell {

// The pace of the library's fetches: the host's transfer routine (the
// library's own DownloadFile when the host gives none), and the host's pause
// before every repeated attempt (none when the host gives none).
FetchPace HostFetchPace(CLivePatch& patch);

// `text` into statusText, cut to what it holds; always terminated.
void SetStatusText(CLivePatch& patch, const wxString& text);

// The status call with the patch object's userData; a host without a status
// function hears nothing.
void NotifyHost(CLivePatch& patch, const wchar_t* filePath, int32_t done, bool finished,
                bool launcherSet);

}  // namespace tidewell
