// What one transfer came to, kept as a value: libcurl's result, the server's
// answer and the file system's error, so that a failure can be told as what
// it was ("HTTP 404 from <url>", "connection refused by <url>", "disk full
// writing <file>") instead of only as false.
#pragma once

#include <curl/curl.h>
#include <wx/string.h>

struct TransferOutcome {
  CURLcode curl = CURLE_OK;  // the transfer's own result
  long httpStatus = 0;       // the answer's status; 0 when none came
  int fileError = 0;         // errno of opening, writing or closing the file; 0: none
  int socketError = 0;       // the system's errno behind a failed connection; 0: none
  bool overBound = false;    // the body grew past the bound the caller set

  // The transfer completed, the answer was 200 and every byte reached the
  // file.
  bool fetched() const {
    return curl == CURLE_OK && httpStatus == 200 && fileError == 0 && !overBound;
  }
  explicit operator bool() const { return fetched(); }
};

// Why `outcome` did not bring `url` into the file at `path`, as the run log
// tells it; empty for a fetched outcome.
wxString DescribeTransfer(const TransferOutcome& outcome, const wxString& url,
                          const wxString& path);

// The text for a file that could not be written: "disk full writing <path>",
// or "cannot write <path>: <the system's text>".
wxString DescribeWriteError(int errnoValue, const wxString& path);
