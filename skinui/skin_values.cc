#include "skinui/skin_values.h"

#include <algorithm>

#include "skinui/attribute_parsing.h"

namespace skinui {
namespace {

// The text between quotes after `key=`.
std::string QuotedValue(const std::string& text, const std::string& key) {
  const size_t at = text.find(key + "=");
  if (at == std::string::npos) return std::string();
  const size_t start = at + key.size() + 1;
  if (start >= text.size()) return std::string();
  const char quote = text[start];
  if (quote != '\'' && quote != '"') return std::string();
  const size_t end = text.find(quote, start + 1);
  if (end == std::string::npos) return std::string();
  return text.substr(start + 1, end - start - 1);
}

}  // namespace

bool ParseColour(const char* text, uint32_t* argb) {
  if (!text || !argb) return false;
  std::string hex(text);
  if (hex.rfind("#", 0) == 0) {
    hex.erase(0, 1);
  } else if (hex.rfind("0x", 0) == 0 || hex.rfind("0X", 0) == 0) {
    hex.erase(0, 2);
  } else {
    return false;
  }
  if (hex.size() != 6 && hex.size() != 8) return false;
  uint32_t value = 0;
  for (char c : hex) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  *argb = hex.size() == 6 ? (0xFF000000u | value) : value;
  return true;
}

ImageSpec ParseImageSpec(const std::string& text) {
  ImageSpec spec;
  if (text.find('=') == std::string::npos) {
    spec.file = text;
    return spec;
  }
  spec.file = QuotedValue(text, "file");
  const std::string corner = QuotedValue(text, "corner");
  if (!corner.empty()) ParseIntList(corner.c_str(), spec.corner, 4);
  for (int& side : spec.corner) side = std::max(0, side);
  return spec;
}

}  // namespace skinui
