#include "skinui/attribute_parsing.h"

#include <strings.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace skinui {

// No skin needs numbers beyond a million; the bound keeps sums of positions
// and sizes inside an int.
constexpr long long kLargestSkinNumber = 1000000;

void ParseIntList(const char* text, int* out, int count) {
  for (int i = 0; i < count; ++i) out[i] = 0;
  if (!text) return;
  const char* p = text;
  for (int i = 0; i < count && *p; ++i) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(p, &end, 10);
    if (end != p) {
      out[i] = static_cast<int>(value > kLargestSkinNumber    ? kLargestSkinNumber
                                : value < -kLargestSkinNumber ? -kLargestSkinNumber
                                                              : value);
    }
    p = end;
    while (*p && *p != ',') ++p;
    if (*p == ',') ++p;
  }
}

int ParseInt(const char* text) {
  int value = 0;
  ParseIntList(text, &value, 1);
  return value;
}

RECT ParseRect(const char* text) {
  int values[4];
  ParseIntList(text, values, 4);
  return RECT{values[0], values[1], values[2], values[3]};
}

SIZE ParseSize(const char* text) {
  int values[2];
  ParseIntList(text, values, 2);
  return SIZE{values[0], values[1]};
}

bool ParseBool(const char* text) {
  return text && (strcasecmp(text, "true") == 0 || std::strcmp(text, "1") == 0);
}

}  // namespace skinui
