#include "skinui_screen/x11_screen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>
#include <gdk/gdkx.h>

#include <cstdint>
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

bool X11PointerPosition(int* x, int* y) {
  GdkDisplay* gdk = gdk_display_get_default();
  if (!gdk || !GDK_IS_X11_DISPLAY(gdk)) return false;
  Display* display = GDK_DISPLAY_XDISPLAY(gdk);
  Window root, child;
  int windowX, windowY;
  unsigned int buttons;
  return XQueryPointer(display, DefaultRootWindow(display), &root, &child, x, y, &windowX, &windowY,
                       &buttons) != 0;
}

bool X11WindowOrigin(GdkWindow* window, int* x, int* y) {
  if (!window || !GDK_IS_X11_WINDOW(window)) return false;
  Display* display = GDK_WINDOW_XDISPLAY(window);
  Window child;
  return XTranslateCoordinates(display, GDK_WINDOW_XID(window), DefaultRootWindow(display), 0, 0, x,
                               y, &child) != 0;
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

bool SetX11Background(GdkWindow* window, const unsigned char* rgb, int width, int height) {
  if (!window || !GDK_IS_X11_WINDOW(window) || !rgb || width <= 0 || height <= 0) return false;
  Display* display = GDK_WINDOW_XDISPLAY(window);
  GdkVisual* visual = gdk_window_get_visual(window);
  const Pixmap pixmap = XCreatePixmap(display, GDK_WINDOW_XID(window), static_cast<unsigned>(width),
                                      static_cast<unsigned>(height),
                                      static_cast<unsigned>(gdk_visual_get_depth(visual)));
  cairo_surface_t* surface =
      cairo_xlib_surface_create(display, pixmap, GDK_VISUAL_XVISUAL(visual), width, height);
  // The pixmap goes with the surface, once the window no longer uses it.
  static cairo_user_data_key_t pixmapKey;
  struct Owned {
    Display* display;
    Pixmap pixmap;
  };
  cairo_surface_set_user_data(surface, &pixmapKey, new Owned{display, pixmap}, [](void* data) {
    auto* owned = static_cast<Owned*>(data);
    XFreePixmap(owned->display, owned->pixmap);
    delete owned;
  });
  cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  unsigned char* row = cairo_image_surface_get_data(picture);
  const int stride = cairo_image_surface_get_stride(picture);
  for (int y = 0; y < height; ++y, row += stride) {
    auto* pixel = reinterpret_cast<uint32_t*>(row);
    for (int x = 0; x < width; ++x, rgb += 3)
      pixel[x] = uint32_t(rgb[0]) << 16 | rgb[1] << 8 | rgb[2];
  }
  cairo_surface_mark_dirty(picture);
  cairo_t* cairo = cairo_create(surface);
  cairo_set_source_surface(cairo, picture, 0, 0);
  cairo_set_operator(cairo, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cairo);
  cairo_destroy(cairo);
  cairo_surface_destroy(picture);
  cairo_surface_flush(surface);
  // Through GDK, which sets it as the X window's background and puts it
  // back after each frame it paints itself.
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gdk_window_set_background_pattern(window, pattern);
  G_GNUC_END_IGNORE_DEPRECATIONS
  cairo_pattern_destroy(pattern);
  cairo_surface_destroy(surface);
  return true;
}

void ClearX11Background(GdkWindow* window) {
  if (!window || !GDK_IS_X11_WINDOW(window)) return;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gdk_window_set_background_pattern(window, nullptr);
  G_GNUC_END_IGNORE_DEPRECATIONS
}

}  // namespace skinui
