// The order of version strings shared by the launcher and the update
// library: plain strings compared UTF-16 code unit by code unit, a prefix
// before the longer string ("1.10" before "1.9"). Above U+FFFF this differs
// from comparing code points: a character there is a surrogate pair, whose
// first unit orders below U+E000..U+FFFF.
#pragma once

#include <wx/string.h>

namespace version_order {

// Below zero, zero or above zero as `left` orders before, equal to or after
// `right`.
int CompareVersions(const wxString& left, const wxString& right);

}  // namespace version_order
