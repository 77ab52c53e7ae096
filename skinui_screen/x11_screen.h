// What the backend asks of X11 directly. Kept apart: Xlib's macros clash
// with ordinary names elsewhere.
#pragma once

#include <functional>
#include <string>

typedef struct _GdkWindow GdkWindow;
typedef struct _cairo cairo_t;

namespace skinui {

// Whether the display named by $DISPLAY can be opened.
bool X11DisplayOpens();
// Sets the X window class (name and class) of a realised window.
void SetX11WindowClass(GdkWindow* window, const std::string& name);
// Size and bits per pixel of the default screen; false without X.
bool ReadX11Screen(int* width, int* height, int* bitsPerPixel);
// Has `paint` draw a picture of `width` x `height` (a cairo context on a
// server-side pixmap) and makes it the X background of the realised
// window: the server shows it wherever the window is exposed, the moment
// it is mapped. False without X.
bool PaintX11Background(GdkWindow* window, int width, int height,
                        const std::function<void(cairo_t*)>& paint);
// Takes the background out again: exposed parts wait for the window's paint.
void ClearX11Background(GdkWindow* window);

}  // namespace skinui
