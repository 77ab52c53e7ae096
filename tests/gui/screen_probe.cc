#include "tests/gui/screen_probe.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>

#include "tests/support/wait_until.h"

extern char** environ;

namespace gui_test {
namespace {

// Windows come and go while the tests look at them: an X error (a window
// gone between two requests) is an answer, never the end of the test.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, int stdoutFd,
            bool ownGroup, const char* directory = nullptr) {
  std::vector<char*> argv, envp;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  for (const std::string& entry : env) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdoutFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, 2);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  if (directory) posix_spawn_file_actions_addchdir_np(&actions, directory);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (ownGroup) {
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
  }
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// This process's environment, with `entry` ("NAME=value") in place of
// NAME's when given.
std::vector<std::string> EnvironmentWith(const std::string& entry = "") {
  std::vector<std::string> env;
  if (!entry.empty()) env.push_back(entry);
  const std::string name = entry.substr(0, entry.find('=') + 1);
  for (char** e = environ; *e; ++e) {
    if (name.empty() || std::string(*e).rfind(name, 0) != 0) env.push_back(*e);
  }
  return env;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  int status;
  waitpid(pid, &status, 0);
}

int Shift(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

Rgb Decode(XImage* image, int x, int y) {
  const unsigned long pixel = XGetPixel(image, x, y);
  return Rgb{static_cast<int>((pixel & image->red_mask) >> Shift(image->red_mask)),
             static_cast<int>((pixel & image->green_mask) >> Shift(image->green_mask)),
             static_cast<int>((pixel & image->blue_mask) >> Shift(image->blue_mask))};
}

bool HasClass(Display* x, Window window, const std::string& name) {
  XClassHint hint{};
  if (!XGetClassHint(x, window, &hint)) return false;
  const bool matches = hint.res_class && name == hint.res_class;
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return matches;
}

std::string TitleOf(Display* x, Window window) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(x, window, XInternAtom(x, "_NET_WM_NAME", False), 0, 1024, False,
                         XInternAtom(x, "UTF8_STRING", False), &type, &format, &count, &after,
                         &data) == Success &&
      data) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  return title;
}

std::vector<Window> Children(Display* x, Window window, Window* parent = nullptr) {
  Window root, up, *children = nullptr;
  unsigned int count = 0;
  std::vector<Window> found;
  if (XQueryTree(x, window, &root, &up, &children, &count)) {
    found.assign(children, children + count);  // bottom of the stack first
    if (children) XFree(children);
    if (parent) *parent = up;
  }
  return found;
}

}  // namespace

void VirtualScreen::PictureFree::operator()(void* image) const {
  XDestroyImage(static_cast<XImage*>(image));
}

std::string ToText(const Rgb& c) {
  if (c == Rgb{}) return "no colour";
  char text[32];
  std::snprintf(text, sizeof(text), "#%02X%02X%02X", c.r & 0xFF, c.g & 0xFF, c.b & 0xFF);
  return text;
}

bool Near(const Rgb& a, const Rgb& b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

VirtualScreen::VirtualScreen(int width, int height, bool windowManager) {
  XSetErrorHandler(IgnoreXError);
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return;
  const std::string size = std::to_string(width) + "x" + std::to_string(height) + "x24";
  server_ = Spawn({"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-noreset", "-nolisten", "tcp",
                   "-screen", "0", size},
                  EnvironmentWith(), -1, false);
  close(pipeFds[1]);
  // The server writes its display number once it accepts connections.
  std::string number;
  pollfd wait{pipeFds[0], POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (server_ > 0 && std::chrono::steady_clock::now() < deadline) {
    if (poll(&wait, 1, 200) <= 0) continue;
    char buffer[16];
    const ssize_t got = read(pipeFds[0], buffer, sizeof(buffer));
    if (got <= 0) break;
    number.append(buffer, static_cast<size_t>(got));
    if (number.find('\n') != std::string::npos) break;
  }
  close(pipeFds[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
  if (number.empty()) return;
  name_ = ":" + number;
  Display* x = XOpenDisplay(name_.c_str());
  if (!x) return;
  if (windowManager) {
    windowManager_ =
        Spawn({"openbox", "--sm-disable"}, EnvironmentWith("DISPLAY=" + name_), -1, false);
    const Atom check = XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", False);
    const bool managing = WaitFor([&] {
      Atom type;
      int format;
      unsigned long count, after;
      unsigned char* data = nullptr;
      XGetWindowProperty(x, DefaultRootWindow(x), check, 0, 1, False, XA_WINDOW, &type, &format,
                         &count, &after, &data);
      if (data) XFree(data);
      return count == 1;
    });
    if (windowManager_ <= 0 || !managing) {
      XCloseDisplay(x);
      return;
    }
  }
  std::promise<void> watching;
  watcher_ =
      std::thread([this, &watching] { WatchMaps(name_, [&watching] { watching.set_value(); }); });
  watching.get_future().wait();
  x_ = x;
}

VirtualScreen::~VirtualScreen() {
  stop_ = true;
  if (watcher_.joinable()) watcher_.join();
  firstPictures_.clear();
  if (x_) XCloseDisplay(x_);
  Stop(windowManager_);
  Stop(server_);
}

// Records the picture of every window on the root (a window manager's
// frame, or the window itself) the moment it is mapped, with the server held
// still meanwhile: what the player saw first.
void VirtualScreen::WatchMaps(const std::string& name, const std::function<void()>& ready) {
  Display* x = XOpenDisplay(name.c_str());
  if (x) {
    XSelectInput(x, DefaultRootWindow(x), SubstructureNotifyMask);
    XSync(x, False);
  }
  ready();
  if (!x) return;
  unsigned long handled = 0;
  while (!stop_) {
    unsigned long asked;
    {
      std::lock_guard<std::mutex> lock(catchUpMutex_);
      asked = catchUpsAsked_;
    }
    // A round trip: the server's events of every map before the request
    // are queued after it.
    if (asked != handled) XSync(x, False);
    while (XPending(x)) {
      XEvent event;
      XNextEvent(x, &event);
      if (event.type == MapNotify) Capture(x, event.xmap.window);
    }
    if (asked != handled) {
      handled = asked;
      std::lock_guard<std::mutex> lock(catchUpMutex_);
      catchUpsDone_ = handled;
      caughtUp_.notify_all();
    }
    pollfd wait{ConnectionNumber(x), POLLIN, 0};
    poll(&wait, 1, 20);
  }
  XCloseDisplay(x);
}

bool VirtualScreen::CatchUp() const {
  std::unique_lock<std::mutex> lock(catchUpMutex_);
  const unsigned long ticket = ++catchUpsAsked_;
  return caughtUp_.wait_for(lock, std::chrono::seconds(10),
                            [&] { return catchUpsDone_ >= ticket; });
}

void VirtualScreen::Capture(Display* x, unsigned long window) {
  {
    std::lock_guard<std::mutex> lock(picturesMutex_);
    if (firstPictures_.count(window)) return;
  }
  XGrabServer(x);
  XWindowAttributes attributes{};
  XImage* image = nullptr;
  if (XGetWindowAttributes(x, window, &attributes) && attributes.map_state == IsViewable) {
    image = XGetImage(x, window, 0, 0, static_cast<unsigned>(attributes.width),
                      static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  }
  XUngrabServer(x);
  XFlush(x);
  if (!image) return;
  std::lock_guard<std::mutex> lock(picturesMutex_);
  firstPictures_[window].reset(image);
}

Geometry VirtualScreen::Search(const std::function<bool(unsigned long)>& matches) const {
  if (!x_) return Geometry{};
  const Window root = DefaultRootWindow(x_);
  std::vector<Window> pending = Children(x_, root);
  while (!pending.empty()) {
    const Window window = pending.back();
    pending.pop_back();
    if (matches(window)) {
      XWindowAttributes attributes{};
      if (XGetWindowAttributes(x_, window, &attributes) && attributes.map_state == IsViewable) {
        Geometry g;
        Window child;
        XTranslateCoordinates(x_, window, root, 0, 0, &g.x, &g.y, &child);
        g.id = window;
        g.width = attributes.width;
        g.height = attributes.height;
        g.viewable = true;
        return g;
      }
    }
    const std::vector<Window> children = Children(x_, window);
    pending.insert(pending.end(), children.begin(), children.end());
  }
  return Geometry{};
}

Geometry VirtualScreen::Find(const std::string& windowClass) const {
  return Search([&](unsigned long window) { return HasClass(x_, window, windowClass); });
}

Geometry VirtualScreen::FindTitled(const std::string& title) const {
  return Search([&](unsigned long window) { return TitleOf(x_, window) == title; });
}

bool VirtualScreen::Viewable(unsigned long id) const {
  XWindowAttributes attributes{};
  return x_ && XGetWindowAttributes(x_, id, &attributes) && attributes.map_state == IsViewable;
}

unsigned long VirtualScreen::TopLevel(unsigned long id) const {
  const Window root = DefaultRootWindow(x_);
  Window window = id;
  for (int depth = 0; depth < 16; ++depth) {
    Window parent = 0;
    Children(x_, window, &parent);
    if (parent == root || parent == 0) return window;
    window = parent;
  }
  return window;
}

Geometry VirtualScreen::Framed(const Geometry& window) const {
  if (!x_ || !window.viewable) return Geometry{};
  const Window top = TopLevel(window.id);
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(x_, top, &attributes)) return Geometry{};
  Geometry framed;
  framed.id = top;
  framed.x = attributes.x;
  framed.y = attributes.y;
  framed.width = attributes.width;
  framed.height = attributes.height;
  framed.viewable = attributes.map_state == IsViewable;
  return framed;
}

bool VirtualScreen::StackedAbove(const Geometry& upper, const Geometry& lower) const {
  if (!x_) return false;
  const std::vector<Window> stack = Children(x_, DefaultRootWindow(x_));
  const auto at = [&stack](Window window) {
    return std::find(stack.begin(), stack.end(), window) - stack.begin();
  };
  return at(TopLevel(upper.id)) > at(TopLevel(lower.id));
}

Rgb VirtualScreen::Pixel(int x, int y) const {
  if (!x_) return Rgb{};
  XImage* image = XGetImage(x_, DefaultRootWindow(x_), x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return Rgb{};
  const Rgb colour = Decode(image, 0, 0);
  XDestroyImage(image);
  return colour;
}

Rgb VirtualScreen::FirstShown(const std::string& windowClass, int x, int y) const {
  return FirstShown(Find(windowClass), x, y);
}

Rgb VirtualScreen::FirstShown(const Geometry& window, int x, int y) const {
  // The watcher may lag behind on a busy machine.
  if (!window.viewable || !CatchUp()) return Rgb{};
  // Pictures are of the windows on the root; the window's place in its
  // window manager's frame is read now (it may have moved since it was
  // found).
  const Window top = TopLevel(window.id);
  int inTopX = 0, inTopY = 0;
  Window child;
  XTranslateCoordinates(x_, window.id, top, 0, 0, &inTopX, &inTopY, &child);
  x += inTopX;
  y += inTopY;
  std::lock_guard<std::mutex> lock(picturesMutex_);
  const auto found = firstPictures_.find(top);
  if (found == firstPictures_.end()) return Rgb{};
  auto* picture = static_cast<XImage*>(found->second.get());
  if (x < 0 || y < 0 || x >= picture->width || y >= picture->height) return Rgb{};
  return Decode(picture, x, y);
}

bool VirtualScreen::Xdotool(const std::string& arguments) const {
  const std::string line = "DISPLAY=" + name_ + " xdotool " + arguments + " >/dev/null 2>&1";
  return std::system(line.c_str()) == 0;
}

bool VirtualScreen::Focus(const Geometry& window) const {
  return Xdotool((UnderWindowManager() ? "windowactivate --sync " : "windowfocus --sync ") +
                 std::to_string(window.id));
}

bool VirtualScreen::CloseByWindowManager(const Geometry& window) const {
  if (UnderWindowManager()) return Focus(window) && Xdotool("key alt+F4");
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window.id;
  event.xclient.message_type = XInternAtom(x_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(x_, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const bool sent = XSendEvent(x_, window.id, False, NoEventMask, &event) != 0;
  XFlush(x_);
  return sent;
}

LauncherProcess::LauncherProcess(const std::string& programDir, const std::string& display,
                                 const std::string& home, const std::string& log,
                                 const std::vector<std::string>& environment) {
  std::vector<std::string> env = {"DISPLAY=" + display, "HOME=" + home, "PATH=/usr/bin:/bin"};
  // A sanitizer build's settings reach the launcher; the toolkit's memory,
  // still held at exit, is no leak of ours.
  for (const char* name : {"UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
  }
  const char* asan = std::getenv("ASAN_OPTIONS");
  env.push_back(std::string("ASAN_OPTIONS=") + (asan ? std::string(asan) + ":" : "") +
                "detect_leaks=0");
  env.insert(env.end(), environment.begin(), environment.end());
  const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  pid_ = Spawn({"dbus-run-session", "--", programDir + "/launcher"}, env, fd, true,
               programDir.c_str());
  if (fd >= 0) close(fd);
}

LauncherProcess::~LauncherProcess() {
  if (pid_ <= 0) return;
  // The whole group: the bus and the browser's processes too.
  kill(-pid_, SIGKILL);
  if (!ended_) {
    int status;
    waitpid(pid_, &status, 0);
  }
}

bool LauncherProcess::Ended() {
  if (ended_ || pid_ <= 0) return true;
  int status;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
  ended_ = true;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return true;
}

bool WaitFor(const std::function<bool()>& done, double seconds) {
  return testing_support::WaitUntil(done,
                                    std::chrono::milliseconds(static_cast<long>(seconds * 1000)));
}

}  // namespace gui_test
