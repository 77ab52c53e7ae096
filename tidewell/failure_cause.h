// The causes the library keeps for its host: errors as values whose text
// the host's log shows.
#pragma once

#include <wx/string.h>

#include <utility>

#include "platform/error.h"

namespace tidewell {

// A failure told by `text`.
inline platform::Error Failure(const wxString& text) { return platform::Error{text.utf8_string()}; }

// The text of a failed `status`; empty for a success.
inline wxString CauseOf(const platform::Status& status) {
  return status ? wxString() : wxString::FromUTF8(status.error().message);
}

// A failed `status` with "<context>: " in front of its text.
inline platform::Status Within(const wxString& context, platform::Status status) {
  if (status) return status;
  platform::Error error = status.error();
  error.message = context.utf8_string() + ": " + error.message;
  return error;
}

}  // namespace tidewell
