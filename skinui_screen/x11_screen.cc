#include "skinui_screen/x11_screen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>
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

bool PaintX11Background(GdkWindow* window, int width, int height,
                        const std::function<void(cairo_t*)>& paint) {
  if (!window || !GDK_IS_X11_WINDOW(window) || width <= 0 || height <= 0) return false;
  Display* display = GDK_WINDOW_XDISPLAY(window);
  const Window xid = GDK_WINDOW_XID(window);
  GdkVisual* visual = gdk_window_get_visual(window);
  const Pixmap pixmap =
      XCreatePixmap(display, xid, static_cast<unsigned>(width), static_cast<unsigned>(height),
                    static_cast<unsigned>(gdk_visual_get_depth(visual)));
  cairo_surface_t* surface =
      cairo_xlib_surface_create(display, pixmap, GDK_VISUAL_XVISUAL(visual), width, height);
  cairo_t* cairo = cairo_create(surface);
  paint(cairo);
  cairo_destroy(cairo);
  cairo_surface_flush(surface);
  cairo_surface_destroy(surface);
  XSetWindowBackgroundPixmap(display, xid, pixmap);
  // The window keeps its own reference to its background.
  XFreePixmap(display, pixmap);
  return true;
}

void ClearX11Background(GdkWindow* window) {
  if (!window || !GDK_IS_X11_WINDOW(window)) return;
  XSetWindowBackgroundPixmap(GDK_WINDOW_XDISPLAY(window), GDK_WINDOW_XID(window), None);
}

}  // namespace skinui
