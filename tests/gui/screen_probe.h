// A virtual X screen for GUI tests (Xvfb, display number chosen by the
// server itself) and what the tests read from it: window geometry by X
// window class, pixels, and mouse and key input through xdotool.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace gui_test {

struct Geometry {
  std::string id;  // the X window id, "0x..."
  int x = 0, y = 0, width = 0, height = 0;
  bool viewable = false;
};

struct Rgb {
  int r = -1, g = -1, b = -1;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
std::string ToText(const Rgb& colour);
// Within `tolerance` on each channel (anti-aliased edges, text).
bool Near(const Rgb& a, const Rgb& b, int tolerance = 8);

class VirtualScreen {
 public:
  // Starts Xvfb with a 1280x1024x24 screen; Started() false when it failed.
  VirtualScreen();
  ~VirtualScreen();
  VirtualScreen(const VirtualScreen&) = delete;
  VirtualScreen& operator=(const VirtualScreen&) = delete;

  bool Started() const { return !display_.empty(); }
  const std::string& Display() const { return display_; }

  // The viewable window whose X class is `windowClass`; viewable false when
  // there is none.
  Geometry Find(const std::string& windowClass) const;
  // The viewable window titled `title`.
  Geometry FindTitled(const std::string& title) const;
  // Whether the window `id` is still viewable (false once gone).
  bool Viewable(const std::string& id) const;
  Rgb Pixel(int x, int y) const;
  // xdotool with `arguments` on this display; true on success.
  bool Xdotool(const std::string& arguments) const;

 private:
  std::string Run(const std::string& command) const;
  Geometry FindLine(const std::string& pattern) const;
  pid_t server_ = -1;
  std::string display_;
};

// Checks `done` until it holds or `seconds` passed.
bool WaitFor(const std::function<bool()>& done, double seconds = 10);

}  // namespace gui_test
