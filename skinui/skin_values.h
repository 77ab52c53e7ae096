// Values of the skins' look attributes (skin_look.md), read the same lenient
// way as the other attributes: anything malformed is simply no value.
#pragma once

#include <cstdint>
#include <string>

namespace skinui {

// "#RRGGBB" or "#AARRGGBB" ("0x" instead of "#" too) as 0xAARRGGBB (alpha FF
// when not given); false for anything else.
bool ParseColour(const char* text, uint32_t* argb);

// An image attribute: a plain file name, or "file='x.png' corner='l,t,r,b'"
// (quotes ' or ").
struct ImageSpec {
  std::string file;
  int corner[4] = {0, 0, 0, 0};  // left, top, right, bottom kept unscaled
};
ImageSpec ParseImageSpec(const std::string& text);

}  // namespace skinui
