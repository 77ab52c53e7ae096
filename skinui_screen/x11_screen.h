// What the backend asks of X11 directly. Kept apart: Xlib's macros clash
// with ordinary names elsewhere.
#pragma once

#include <string>

typedef struct _GdkWindow GdkWindow;

namespace skinui {

// Whether the display named by $DISPLAY can be opened.
bool X11DisplayOpens();
// Sets the X window class (name and class) of a realised window.
void SetX11WindowClass(GdkWindow* window, const std::string& name);
// Size and bits per pixel of the default screen; false without X.
bool ReadX11Screen(int* width, int* height, int* bitsPerPixel);

}  // namespace skinui
