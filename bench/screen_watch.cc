#include "bench/screen_watch.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>

namespace velmor_bench {
namespace {

using Clock = std::chrono::steady_clock;

// Windows of the launcher come and go while they are looked at: an error
// about one gone meanwhile is no reason to end (Xlib's default handler).
int IgnoreError(Display*, XErrorEvent*) { return 0; }

}  // namespace

struct ScreenWatch::SharedImage {
  Display* display = nullptr;
  XShmSegmentInfo segment{};
  XImage* image = nullptr;
  ~SharedImage() {
    if (!image) return;
    XShmDetach(display, &segment);
    XSync(display, False);
    XDestroyImage(image);
    shmdt(segment.shmaddr);
  }
};

ScreenWatch::SharedImage* ScreenWatch::SharedImageOf(int width, int height) {
  if (!sharedMemory_) return nullptr;
  if (shared_ && shared_->image->width == width && shared_->image->height == height) {
    return shared_.get();
  }
  shared_.reset();
  auto shared = std::make_unique<SharedImage>();
  shared->display = display_;
  const int screen = DefaultScreen(display_);
  XImage* image =
      XShmCreateImage(display_, DefaultVisual(display_, screen), DefaultDepth(display_, screen),
                      ZPixmap, nullptr, &shared->segment, width, height);
  if (!image) return nullptr;
  shared->segment.shmid =
      shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
  if (shared->segment.shmid < 0) {
    XDestroyImage(image);
    return nullptr;
  }
  shared->segment.shmaddr = image->data =
      static_cast<char*>(shmat(shared->segment.shmid, nullptr, 0));
  // Removed now, freed once both sides have detached.
  shmctl(shared->segment.shmid, IPC_RMID, nullptr);
  shared->segment.readOnly = False;
  if (shared->segment.shmaddr == reinterpret_cast<char*>(-1) ||
      !XShmAttach(display_, &shared->segment)) {
    XDestroyImage(image);
    return nullptr;
  }
  shared->image = image;
  shared_ = std::move(shared);
  return shared_.get();
}

ScreenWatch::ScreenWatch() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return;
  XSetErrorHandler(IgnoreError);
  int errorBase = 0;
  if (!XDamageQueryExtension(display, &damageEvent_, &errorBase)) {
    XCloseDisplay(display);
    return;
  }
  // New top-level windows, their mapping and moves; drawing anywhere on the
  // screen, inside every window included.
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  damage_ = XDamageCreate(display, DefaultRootWindow(display), XDamageReportNonEmpty);
  XSync(display, False);
  display_ = display;
  sharedMemory_ = XShmQueryExtension(display);
}

ScreenWatch::~ScreenWatch() {
  if (!display_) return;
  shared_.reset();
  XDamageDestroy(display_, damage_);
  XCloseDisplay(display_);
}

bool ScreenWatch::WaitForChange(Clock::time_point deadline) {
  for (;;) {
    bool changed = false;
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      changed = true;
      // A window's class is set after it exists: its property changes count.
      if (event.type == CreateNotify) {
        XSelectInput(display_, event.xcreatewindow.window, PropertyChangeMask);
      }
    }
    if (changed) {
      // Drawing from here on reports anew; what came before is on the
      // screen for whatever the caller reads next.
      XDamageSubtract(display_, damage_, None, None);
      XFlush(display_);
      return true;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() < 0) return false;
    pollfd ready{ConnectionNumber(display_), POLLIN, 0};
    poll(&ready, 1, static_cast<int>(left.count()) + 1);
  }
}

std::vector<ScreenWatch::TopWindow> ScreenWatch::TopWindows() {
  std::vector<TopWindow> windows;
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(display_, children[i], &attributes) ||
          attributes.map_state != IsViewable) {
        continue;
      }
      TopWindow window;
      window.rect = ScreenRect{attributes.x, attributes.y, attributes.width, attributes.height};
      XClassHint hint{nullptr, nullptr};
      if (XGetClassHint(display_, children[i], &hint)) {
        if (hint.res_class) window.windowClass = hint.res_class;
        XFree(hint.res_name);
        XFree(hint.res_class);
      }
      windows.push_back(window);
    }
    XFree(children);
  }
  return windows;
}

std::optional<ScreenRect> ScreenWatch::Find(const std::string& windowClass) {
  for (const TopWindow& window : TopWindows()) {
    if (window.windowClass == windowClass) return window.rect;
  }
  return std::nullopt;
}

std::vector<ScreenRect> ScreenWatch::WindowsOver(const std::string& windowClass) {
  std::vector<ScreenRect> above;
  bool found = false;
  for (const TopWindow& window : TopWindows()) {
    if (found) above.push_back(window.rect);
    found = found || window.windowClass == windowClass;
  }
  return above;
}

std::vector<uint32_t> ScreenWatch::Capture(const ScreenRect& rect) {
  std::vector<uint32_t> pixels;
  const Window root = DefaultRootWindow(display_);
  XImage* image = nullptr;
  SharedImage* shared = SharedImageOf(rect.width, rect.height);
  if (shared && XShmGetImage(display_, root, shared->image, rect.x, rect.y, AllPlanes)) {
    image = shared->image;
  } else {
    shared = nullptr;
    image = XGetImage(display_, root, rect.x, rect.y, rect.width, rect.height, AllPlanes, ZPixmap);
  }
  if (!image) return pixels;
  if (image->bits_per_pixel == 32 && image->byte_order == LSBFirst) {
    pixels.resize(static_cast<size_t>(rect.width) * rect.height);
    for (int y = 0; y < rect.height; ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(image->data + y * image->bytes_per_line);
      std::transform(row, row + rect.width, pixels.begin() + static_cast<size_t>(y) * rect.width,
                     [](uint32_t pixel) { return pixel & 0xFFFFFFu; });
    }
  }
  if (!shared) XDestroyImage(image);
  return pixels;
}

}  // namespace velmor_bench
