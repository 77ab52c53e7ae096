// Skin images: PNG files from the resource archive, decoded once and kept.
#pragma once

#include <wx/bitmap.h>
#include <wx/dc.h>

#include <string>

namespace skinui {

// An image attribute: a plain file name, or "file='x.png' corner='l,t,r,b'".
struct ImageSpec {
  std::string file;
  int corner[4] = {0, 0, 0, 0};  // left, top, right, bottom kept unscaled
};
ImageSpec ParseImageSpec(const std::string& text);

// Draws the image stretched into `rect` with its corners kept (nine
// slices); `clipWidth` < rect width draws only that much of the left part
// (progress fill). Nothing for a missing or damaged image.
void DrawSkinImage(wxDC& dc, const ImageSpec& spec, const wxRect& rect, int clipWidth = -1);

// Forgets every decoded image (end of the session).
void ForgetSkinImages();

}  // namespace skinui
