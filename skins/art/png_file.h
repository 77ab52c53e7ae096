// Writes a canvas as a PNG file: 8-bit RGBA, or RGB when fully opaque.
#pragma once

#include <string>

#include "skins/art/canvas.h"

namespace skin_art {

// The encoded file (empty when compression fails); identical input gives
// identical bytes.
std::string EncodePng(const Canvas& canvas);

}  // namespace skin_art
