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
// Where the pointer is on the screen now.
bool X11PointerPosition(int* x, int* y);
// Where the realised window stands on the screen, as the server has it.
bool X11WindowOrigin(GdkWindow* window, int* x, int* y);
// Size and bits per pixel of the default screen; false without X.
bool ReadX11Screen(int* width, int* height, int* bitsPerPixel);
// Makes a picture of `width` x `height` (`rgb`: three bytes a pixel, rows
// unpadded) the X background of the realised window: the server shows it
// wherever the window is exposed, the moment it is mapped. False without X.
bool SetX11Background(GdkWindow* window, const unsigned char* rgb, int width, int height);
// Takes the background out again: exposed parts wait for the window's paint.
void ClearX11Background(GdkWindow* window);

}  // namespace skinui
