// Reading the number lists and flags of skin attributes. Lenient the way
// skins need: missing numbers are 0, anything after a number is skipped to the
// next comma, values beyond the int range are clamped.
#pragma once

#include "skinui/win_types.h"

namespace skinui {

// Up to `count` comma-separated integers into `out` (missing ones are 0).
void ParseIntList(const char* text, int* out, int count);
int ParseInt(const char* text);
RECT ParseRect(const char* text);
SIZE ParseSize(const char* text);
// "true" (any case) or "1" is true; anything else false.
bool ParseBool(const char* text);

}  // namespace skinui
