#include "download/transfer_outcome.h"

#include <cerrno>
#include <cstring>

#include "platform/error.h"

namespace {

wxString SystemText(int errnoValue) { return wxString::FromUTF8(std::strerror(errnoValue)); }

wxString DescribeCurlFailure(const TransferOutcome& outcome, const wxString& url) {
  switch (outcome.curl) {
    case CURLE_COULDNT_CONNECT:
      if (outcome.socketError == ECONNREFUSED) return "connection refused by " + url;
      if (outcome.socketError != 0)
        return "cannot connect to " + url + ": " + SystemText(outcome.socketError);
      return "cannot connect to " + url;
    case CURLE_OPERATION_TIMEDOUT:
      return "no answer in time from " + url;
    case CURLE_COULDNT_RESOLVE_HOST:
      return "unknown host in " + url;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return "not an http or https URL: \"" + url + "\"";
    case CURLE_URL_MALFORMAT:
      return "malformed URL \"" + url + "\"";
    case CURLE_ABORTED_BY_CALLBACK:
      return "transfer from " + url + " stopped by the launcher";
    case CURLE_FILESIZE_EXCEEDED:
      return "answer from " + url + " too large";
    default:
      return wxString::Format("transfer from %s failed: %s", url,
                              wxString::FromUTF8(curl_easy_strerror(outcome.curl)));
  }
}

}  // namespace

wxString DescribeWriteError(int errnoValue, const wxString& path) {
  return wxString::FromUTF8(platform::Error::WritingFile(path.utf8_string(), errnoValue).message);
}

wxString DescribeTransfer(const TransferOutcome& outcome, const wxString& url,
                          const wxString& path) {
  if (outcome.fetched()) return wxString();
  // Failed before any answer could come (the handle may still hold the
  // status of an earlier transfer).
  switch (outcome.curl) {
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
      return DescribeCurlFailure(outcome, url);
    default:
      break;
  }
  // An error page is an error page, however it ended.
  if (outcome.httpStatus != 0 && outcome.httpStatus != 200)
    return wxString::Format("HTTP %ld from %s", outcome.httpStatus, url);
  if (outcome.fileError != 0) return DescribeWriteError(outcome.fileError, path);
  if (outcome.overBound) return "answer from " + url + " too large";
  if (outcome.curl != CURLE_OK) return DescribeCurlFailure(outcome, url);
  return "no status from " + url;
}
