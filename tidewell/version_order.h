// The order of version strings shared by the launcher and the update
// library: plain strings compared UTF-16 code unit by code unit, a prefix
// before the longer string ("1.10" before "1.9"). Above U+FFFF this differs
// from comparing code points: a character there is a surrogate pair, whose
// first unit orders below U+E000..U+FFFF.
#pragma once

#include <wx/string.h>

#include <string>

namespace tidewell {

inline std::u16string Utf16Units(const wxString& text) {
  std::u16string units;
  units.reserve(text.length());
  for (const wxUniChar c : text) {
    wxUint32 code = c.GetValue();
    if (code > 0x10FFFF) code = 0xFFFD;
    if (code >= 0x10000) {
      code -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(code));
    }
  }
  return units;
}

// Below zero, zero or above zero as `left` orders before, equal to or after
// `right`.
inline int CompareVersions(const wxString& left, const wxString& right) {
  return Utf16Units(left).compare(Utf16Units(right));
}

}  // namespace tidewell
