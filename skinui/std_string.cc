#include "skinui/std_string.h"

#include <algorithm>
#include <cctype>

int CStdString::CompareNoCase(const char* text) const {
  const std::string_view other(text ? text : "");
  const size_t common = std::min(size(), other.size());
  for (size_t i = 0; i < common; ++i) {
    const int a = std::tolower(static_cast<unsigned char>((*this)[i]));
    const int b = std::tolower(static_cast<unsigned char>(other[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  if (size() == other.size()) return 0;
  return size() < other.size() ? -1 : 1;
}
