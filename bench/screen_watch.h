// What the first-frame benchmark reads from the X screen: top-level windows
// by their X class, and the pixels the screen shows. Changes of the screen
// are reported by the X server (Damage), so the pixels are read only when
// something was drawn. Kept apart: Xlib's macros clash with ordinary names.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;  // Xlib's Display

namespace velmor_bench {

struct ScreenRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const ScreenRect& o) const {
    return x == o.x && y == o.y && width == o.width && height == o.height;
  }
};

class ScreenWatch {
 public:
  // Connects to $DISPLAY; Opened() false without a display or without the
  // Damage extension.
  ScreenWatch();
  ~ScreenWatch();
  ScreenWatch(const ScreenWatch&) = delete;
  ScreenWatch& operator=(const ScreenWatch&) = delete;

  bool Opened() const { return display_ != nullptr; }

  // Waits until the screen changed (drawing, a window mapped, moved or
  // gone) or `deadline` passed; false on the deadline. Every change before
  // the call returns counts only once.
  bool WaitForChange(std::chrono::steady_clock::time_point deadline);

  // The viewable top-level window whose X class is `windowClass`.
  std::optional<ScreenRect> Find(const std::string& windowClass);
  // Viewable top-level windows stacked above that window.
  std::vector<ScreenRect> WindowsOver(const std::string& windowClass);

  // What the screen shows in `rect` (within the screen), one 0xRRGGBB per
  // pixel, row by row; empty when it could not be read. Through shared
  // memory where the server offers it: a read then holds the server (and
  // the launcher's drawing) for well under a millisecond.
  std::vector<uint32_t> Capture(const ScreenRect& rect);

 private:
  struct TopWindow {
    ScreenRect rect;
    std::string windowClass;
  };
  std::vector<TopWindow> TopWindows();  // bottom first
  struct SharedImage;
  SharedImage* SharedImageOf(int width, int height);

  _XDisplay* display_ = nullptr;
  unsigned long damage_ = 0;
  int damageEvent_ = 0;
  bool sharedMemory_ = false;
  std::unique_ptr<SharedImage> shared_;
};

}  // namespace velmor_bench
