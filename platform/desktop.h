// The one seam for effects a player sees on the desktop: message boxes, the
// display mode, URLs opened in the browser, and the quit request that ends
// the launcher's message loop. Tests install their own Desktop to observe
// these effects; the program uses the default one.
#pragma once

#include <functional>
#include <string>

namespace platform {

enum class MessageBoxButtons { Ok, OkCancel, YesNo };
enum class MessageBoxResult { Ok, Cancel, Yes, No };

struct DisplayMode {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  int frequency = 0;
};

class Desktop {
 public:
  virtual ~Desktop() = default;

  // A modal notice with `text` and `caption`; returns the pressed button.
  // May be called from any thread.
  virtual MessageBoxResult ShowMessageBox(const std::string& text, const std::string& caption,
                                          MessageBoxButtons buttons) = 0;

  // Opens `url` in the user's browser without waiting. False when no browser
  // could be started.
  virtual bool OpenUrl(const std::string& url) = 0;

  // The current display mode of the primary display.
  virtual DisplayMode GetDisplayMode() = 0;

  // Applies `mode` for this session only (not stored). False when refused.
  virtual bool ChangeDisplayMode(const DisplayMode& mode) = 0;

  // Asks the launcher's message loop to end with `exitCode`. Safe from any
  // thread; returns at once.
  virtual void PostQuit(int exitCode) = 0;
};

// The desktop in use. Never null: the default one unless a test set another.
Desktop& CurrentDesktop();

// Installs `desktop` (not owned; nullptr restores the default) and returns
// the one that was installed before.
Desktop* SetDesktop(Desktop* desktop);

// The default desktop runs without a display: message boxes go to standard
// error and answer Ok, the display mode is kDefaultDisplayMode until changed,
// URLs go to xdg-open when it exists, and PostQuit calls the handler the
// message loop registered here (nothing happens when none is registered).
inline constexpr DisplayMode kDefaultDisplayMode{1024, 768, 32, 60};
void SetQuitHandler(std::function<void(int exitCode)> handler);

}  // namespace platform
