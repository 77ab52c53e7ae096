// The library's user-facing failures: a modal box captioned "错误" through
// the shared desktop seam.
#pragma once

namespace tidewell {

// `text` is UTF-8. Returns when the user has closed the box.
void ShowErrorBox(const char* text);

}  // namespace tidewell
