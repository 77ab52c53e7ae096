#include "platform/desktop.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "platform/detached_spawn.h"

namespace platform {
namespace {

std::mutex& QuitHandlerMutex() {
  static std::mutex mutex;
  return mutex;
}

std::function<void(int)>& QuitHandler() {
  static std::function<void(int)> handler;
  return handler;
}

// The desktop of a launcher without a display of its own.
class DefaultDesktop final : public Desktop {
 public:
  MessageBoxResult ShowMessageBox(const std::string& text, const std::string& caption,
                                  MessageBoxButtons buttons) override {
    std::lock_guard<std::mutex> lock(mutex_);
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    switch (buttons) {
      case MessageBoxButtons::YesNo:
        return MessageBoxResult::Yes;
      case MessageBoxButtons::Ok:
      case MessageBoxButtons::OkCancel:
        break;
    }
    return MessageBoxResult::Ok;
  }

  bool OpenUrl(const std::string& url) override {
    const std::string opener = FindInPath("xdg-open");
    if (opener.empty()) return false;
    return SpawnDetached(opener, {url}).ok();
  }

  DisplayMode GetDisplayMode() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return mode_;
  }

  bool ChangeDisplayMode(const DisplayMode& mode) override {
    if (mode.width <= 0 || mode.height <= 0 || mode.bitsPerPixel <= 0) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    mode_ = mode;
    return true;
  }

  void PostQuit(int exitCode) override {
    std::function<void(int)> handler;
    {
      std::lock_guard<std::mutex> lock(QuitHandlerMutex());
      handler = QuitHandler();
    }
    if (handler) handler(exitCode);
  }

 private:
  std::mutex mutex_;
  DisplayMode mode_ = kDefaultDisplayMode;
};

DefaultDesktop& TheDefaultDesktop() {
  // Never destroyed: worker threads may still reach the desktop during exit.
  static DefaultDesktop* desktop = new DefaultDesktop;
  return *desktop;
}

std::atomic<Desktop*> g_installed{nullptr};

}  // namespace

Desktop& CurrentDesktop() {
  Desktop* installed = g_installed.load(std::memory_order_acquire);
  return installed ? *installed : TheDefaultDesktop();
}

Desktop* SetDesktop(Desktop* desktop) {
  Desktop* previous = g_installed.exchange(desktop, std::memory_order_acq_rel);
  return previous ? previous : &TheDefaultDesktop();
}

void SetQuitHandler(std::function<void(int exitCode)> handler) {
  std::lock_guard<std::mutex> lock(QuitHandlerMutex());
  QuitHandler() = std::move(handler);
}

}  // namespace platform
