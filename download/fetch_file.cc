#include "download/fetch_file.h"

#include "download/curl_handle.h"

FetchResult FetchFile(const FetchRequest& request, const FetchPace& pace) {
  FetchResult result;
  CurlHandle handle;
  if (!handle) return result;
  const auto stopped = [&pace] { return pace.stopRequested && pace.stopRequested(); };
  const auto attempt = [&](const wxString& url) {
    ++result.attempts;
    result.fetched = pace.transfer(handle.get(), url, request.path, kFetchConnectTimeoutSeconds,
                                   request.progress, request.maxBytes, request.stallTimeoutSeconds);
  };
  for (int round = 0; round < kFetchRounds && !result.fetched && !stopped(); ++round) {
    // A failed round is repeated only after the caller's pause.
    if (round > 0 && pace.pauseBeforeRound && !pace.pauseBeforeRound()) break;
    attempt(request.url);
    if (!result.fetched && !request.secondUrl.empty() && !stopped()) attempt(request.secondUrl);
  }
  return result;
}
