// The bounded fetch that every download of the launcher and the update
// library runs: one easy handle for all its attempts, a bounded number of
// rounds over one URL (or two, the second tried when the first fails), the
// caller's pause between rounds, the handle released at the end.
#pragma once

#include <curl/curl.h>
#include <wx/string.h>

#include <cstdint>
#include <functional>

#include "download/download_file.h"

// One transfer of `url` into `path` over `handle`: TransferFile, or what a
// test or harness puts in its place.
using TransferRoutine = TransferOutcome (*)(CURL* handle, const wxString& url, const wxString& path,
                                            long connectTimeout, curl_progress_callback progress,
                                            uint64_t maxBytes, long stallTimeoutSeconds);

// Every fetch tries this many rounds at most, with this connect timeout.
inline constexpr int kFetchRounds = 10;
inline constexpr long kFetchConnectTimeoutSeconds = 1;

struct FetchRequest {
  wxString url;
  wxString secondUrl;  // tried in each round after `url` failed; empty: none
  wxString path;       // every attempt rewrites it from its start
  curl_progress_callback progress = nullptr;
  uint64_t maxBytes = kNoSizeLimit;
  long stallTimeoutSeconds = kStallTimeoutSeconds;
};

// How a fetch meets the world around it.
struct FetchPace {
  TransferRoutine transfer = &TransferFile;
  // Asked before every round after the first: waits, and answers false when
  // the fetch should end instead (shut-down, or its time is up). Unset: the
  // next round follows at once.
  std::function<bool()> pauseBeforeRound;
  // Asked before every attempt: true ends the fetch at once. Unset: never.
  std::function<bool()> stopRequested;
};

// What a fetch came to.
struct FetchResult {
  bool fetched = false;
  int attempts = 0;  // transfers started
  wxString from;     // the URL that answered, once fetched
  // Why nothing was fetched: the last attempt at each URL tried, as
  // DescribeTransfer tells it ("HTTP 404 from <url>; connection refused by
  // <second url> (20 attempts)"); empty once fetched.
  wxString cause;
  explicit operator bool() const { return fetched; }
};

// Fetches `request` in up to kFetchRounds rounds, stopping at the first
// successful attempt. Fails without a transfer when libcurl has no handle.
FetchResult FetchFile(const FetchRequest& request, const FetchPace& pace);
