#include "version_order/version_order.h"

#include <string>

namespace version_order {

namespace {

std::u16string Utf16Units(const wxString& text) {
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

}  // namespace

int CompareVersions(const wxString& left, const wxString& right) {
  return Utf16Units(left).compare(Utf16Units(right));
}

}  // namespace version_order
