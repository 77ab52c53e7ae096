#include "skinui_screen/x11_screen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>

#include <cstdlib>

namespace skinui {

bool X11DisplayOpens() {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return false;
  Display* display = XOpenDisplay(name);
  if (!display) return false;
  XCloseDisplay(display);
  return true;
}

void SetX11WindowClass(GdkWindow* window, const std::string& name) {
  if (!window || !GDK_IS_X11_WINDOW(window)) return;
  std::string copy = name;
  XClassHint hint{copy.data(), copy.data()};
  XSetClassHint(GDK_WINDOW_XDISPLAY(window), GDK_WINDOW_XID(window), &hint);
}

bool ReadX11Screen(int* width, int* height, int* bitsPerPixel) {
  GdkDisplay* gdk = gdk_display_get_default();
  if (!gdk || !GDK_IS_X11_DISPLAY(gdk)) return false;
  Display* display = GDK_DISPLAY_XDISPLAY(gdk);
  const int screen = DefaultScreen(display);
  *width = DisplayWidth(display, screen);
  *height = DisplayHeight(display, screen);
  const int depth = DefaultDepth(display, screen);
  *bitsPerPixel = depth;
  int count = 0;
  if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count)) {
    for (int i = 0; i < count; ++i) {
      if (formats[i].depth == depth) *bitsPerPixel = formats[i].bits_per_pixel;
    }
    XFree(formats);
  }
  return true;
}

}  // namespace skinui
