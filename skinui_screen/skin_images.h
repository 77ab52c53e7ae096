// Skin images: PNG files from the resource archive, decoded once and kept.
#pragma once

#include <wx/bitmap.h>
#include <wx/dc.h>

#include <string>

#include "skinui/skin_values.h"

namespace skinui {

// Draws the image stretched into `rect` with its corners kept (nine
// slices); `clipWidth` < rect width draws only that much of the left part
// (progress fill). Nothing for a missing or damaged image.
void DrawSkinImage(wxDC& dc, const ImageSpec& spec, const wxRect& rect, int clipWidth = -1);

// Forgets every decoded image (end of the session).
void ForgetSkinImages();

}  // namespace skinui
