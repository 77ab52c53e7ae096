// A virtual X screen for GUI tests (Xvfb, display number chosen by the
// server itself), optionally managed by openbox, and what the tests read
// from it through Xlib: windows by X window class or title, with their
// place on the screen and in the stacking order, pixels, and the picture
// each window showed the moment it came on screen. Mouse and key input go
// through xdotool.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct _XDisplay;

namespace gui_test {

struct Geometry {
  unsigned long id = 0;                     // the X window
  int x = 0, y = 0, width = 0, height = 0;  // on the screen
  bool viewable = false;
  int CentreX() const { return x + width / 2; }
  int CentreY() const { return y + height / 2; }
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
  // Starts Xvfb with a `width` x `height` x 24 screen and, when asked,
  // openbox on it; Started() false when either failed.
  VirtualScreen(int width, int height, bool windowManager);
  ~VirtualScreen();
  VirtualScreen(const VirtualScreen&) = delete;
  VirtualScreen& operator=(const VirtualScreen&) = delete;

  bool Started() const { return x_ != nullptr; }
  const std::string& Name() const { return name_; }
  bool UnderWindowManager() const { return windowManager_ > 0; }

  // The viewable window whose X class is `windowClass`, or whose title is
  // `title`; viewable false when there is none.
  Geometry Find(const std::string& windowClass) const;
  Geometry FindTitled(const std::string& title) const;
  bool Viewable(unsigned long id) const;
  // The window manager's frame around `window`, or the window itself.
  Geometry Framed(const Geometry& window) const;
  // Whether `upper` is stacked above `lower` (compared by the windows they
  // sit in on the root: a window manager's frames, or themselves).
  bool StackedAbove(const Geometry& upper, const Geometry& lower) const;
  Rgb Pixel(int x, int y) const;
  // The colour at (x, y) of the window with class `windowClass` in the
  // picture it showed when it first came on screen; Rgb{} when it was not
  // seen coming. Every window mapped before the call has been seen by then.
  Rgb FirstShown(const std::string& windowClass, int x, int y) const;
  Rgb FirstShown(const Geometry& window, int x, int y) const;

  // xdotool with `arguments` on this display; true on success.
  bool Xdotool(const std::string& arguments) const;
  // Gives `window` the keyboard (through the window manager when there is
  // one).
  bool Focus(const Geometry& window) const;
  // The player closes `window` through the window manager (Alt+F4): under
  // openbox through its key binding, else the request a window manager
  // sends (WM_DELETE_WINDOW).
  bool CloseByWindowManager(const Geometry& window) const;

 private:
  struct PictureFree {
    void operator()(void* image) const;
  };
  void WatchMaps(const std::string& name, const std::function<void()>& ready);
  // Waits until the watcher has handled the maps done before the call.
  bool CatchUp() const;
  void Capture(_XDisplay* x, unsigned long window);
  Geometry Search(const std::function<bool(unsigned long)>& matches) const;
  unsigned long TopLevel(unsigned long id) const;

  pid_t server_ = -1;
  pid_t windowManager_ = -1;
  std::string name_;
  _XDisplay* x_ = nullptr;
  std::thread watcher_;
  std::atomic<bool> stop_{false};
  // Catch-up requests to the watcher: asked and handled.
  mutable std::mutex catchUpMutex_;
  mutable std::condition_variable caughtUp_;
  mutable unsigned long catchUpsAsked_ = 0, catchUpsDone_ = 0;
  mutable std::mutex picturesMutex_;
  // The first picture of each window on the root (an XImage).
  std::map<unsigned long, std::unique_ptr<void, PictureFree>> firstPictures_;
};

// A launcher started on a screen in its own session bus and process group;
// the whole group goes when the object does, so a failing case leaves no
// launcher (or bus) behind.
class LauncherProcess {
 public:
  // Starts `programDir`/launcher with DISPLAY, HOME = `home`, PATH and the
  // sanitizer settings of the test, plus `environment`; standard output and
  // error go to `log`.
  LauncherProcess(const std::string& programDir, const std::string& display,
                  const std::string& home, const std::string& log,
                  const std::vector<std::string>& environment = {});
  ~LauncherProcess();
  LauncherProcess(const LauncherProcess&) = delete;
  LauncherProcess& operator=(const LauncherProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Group() const { return pid_; }
  // Whether the launcher (and its session bus) has ended; reaps it.
  bool Ended();
  int ExitStatus() const { return status_; }

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = -1;
};

// Checks `done` until it holds or `seconds` passed.
bool WaitFor(const std::function<bool()>& done, double seconds = 10);

}  // namespace gui_test
