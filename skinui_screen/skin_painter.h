// Draws a window's controls from their skin attributes (see skin_look.md).
#pragma once

#include <wx/dcclient.h>
#include <wx/region.h>

class CPaintManagerUI;
class wxImage;

namespace skinui {

// Paints the window background and every visible control that meets
// `update` (client coordinates). UI thread.
void PaintSkin(wxWindowDC& dc, CPaintManagerUI& manager, const wxRegion& update);
// Paints the whole window into `image` (of the window's size): the picture
// a window shows before the toolkit first paints it.
void PaintWholeSkin(wxImage& image, CPaintManagerUI& manager);

// Looks up the fallback font families once, before any window paints, so
// the first paint does not wait while fonts are enumerated.
void PrepareSkinFonts();

}  // namespace skinui
