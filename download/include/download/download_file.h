// The one routine through which the launcher and the update library fetch a
// URL into a local file: a small library of its own that both link.
#pragma once

#include <curl/curl.h>
#include <wx/string.h>

#include <cstddef>
#include <cstdint>

#include "download/transfer_outcome.h"

// No bound on the size of a download.
inline constexpr uint64_t kNoSizeLimit = 0;
// The bound for manifests, file lists and server lists: documents, never
// larger than the markup reader takes.
inline constexpr uint64_t kDocumentSizeLimit = 16u * 1024 * 1024;
// A transfer that receives (on average) less than a byte a second for this
// long is abandoned as a failed attempt, unless the caller names another
// time.
inline constexpr long kStallTimeoutSeconds = 30;

// Transfers `url` into the file at `path` with the caller's easy `handle`
// (the caller creates it, retries and cleans it up). Fetched only when the
// transfer completed, the server answered with status 200 and every byte
// reached the file (written, flushed and closed without an error). The file
// is opened first (created or truncated; a link or a second name in its
// place is replaced by a new file, never written through) and is left behind in
// whatever state a failed attempt leaves it; when it cannot be opened
// nothing is sent. `connectTimeout` is in seconds. `progress`, when not
// null, is installed as libcurl's progress function for this transfer; a
// call without one switches off a function an earlier call left on the
// handle. URL and path are passed to libcurl and fopen in UTF-8. Only http
// and https URLs are fetched (also for redirects); any other scheme fails
// without a transfer. A body larger than `maxBytes` (when not kNoSizeLimit)
// fails the transfer as soon as it is known to be too large; one that
// stalls for `stallTimeoutSeconds` fails it too. The outcome keeps why a
// transfer failed.
TransferOutcome TransferFile(CURL* handle, const wxString& url, const wxString& path,
                             long connectTimeout, curl_progress_callback progress,
                             uint64_t maxBytes = kNoSizeLimit,
                             long stallTimeoutSeconds = kStallTimeoutSeconds);

// TransferFile, told as true or false.
bool DownloadFile(CURL* handle, const wxString& url, const wxString& path, long connectTimeout,
                  curl_progress_callback progress, uint64_t maxBytes = kNoSizeLimit,
                  long stallTimeoutSeconds = kStallTimeoutSeconds);

// libcurl header function: stores the value of a "Content-Length" header line
// into the long that `userData` points to. Accepts every line.
size_t ParseContentLength(char* buffer, size_t itemSize, size_t itemCount, void* userData);
