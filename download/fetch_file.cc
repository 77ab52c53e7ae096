#include "download/fetch_file.h"

#include "download/curl_handle.h"

namespace {

// The last failure of each URL tried, in the order they were tried.
class FailureCauses {
 public:
  void Note(int urlIndex, const wxString& cause) { last_[urlIndex] = cause; }
  wxString Text(int attempts) const {
    wxString text = last_[0];
    if (!last_[1].empty()) text += (text.empty() ? "" : "; ") + last_[1];
    if (attempts > 1) text += wxString::Format(" (%d attempts)", attempts);
    return text;
  }

 private:
  wxString last_[2];
};

}  // namespace

FetchResult FetchFile(const FetchRequest& request, const FetchPace& pace) {
  FetchResult result;
  CurlHandle handle;
  if (!handle) {
    result.cause = "libcurl could not make a handle";
    return result;
  }
  FailureCauses causes;
  const auto stopped = [&pace] { return pace.stopRequested && pace.stopRequested(); };
  const auto attempt = [&](int urlIndex, const wxString& url) {
    ++result.attempts;
    const TransferOutcome outcome =
        pace.transfer(handle.get(), url, request.path, kFetchConnectTimeoutSeconds,
                      request.progress, request.maxBytes, request.stallTimeoutSeconds);
    result.fetched = outcome.fetched();
    if (result.fetched) result.from = url;
    causes.Note(urlIndex, DescribeTransfer(outcome, url, request.path));
  };
  for (int round = 0; round < kFetchRounds && !result.fetched && !stopped(); ++round) {
    // A failed round is repeated only after the caller's pause.
    if (round > 0 && pace.pauseBeforeRound && !pace.pauseBeforeRound()) break;
    attempt(0, request.url);
    if (!result.fetched && !request.secondUrl.empty() && !stopped()) attempt(1, request.secondUrl);
  }
  if (!result.fetched)
    result.cause =
        result.attempts > 0 ? causes.Text(result.attempts) : "stopped before any attempt";
  return result;
}
