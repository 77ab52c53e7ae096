// The main frame as its child windows see it: the layout mode, where each
// child sits, its siblings, the settings button it disables while the
// settings are open and the one switch of the Enter-game button. The frame
// derives from it, so these stay the frame's members; the windows hold a
// pointer to this part and never see the rest of the frame.
//
// Threads: the windows and these members belong to the UI thread. A worker
// changes what the windows show only through PostToWindows.
#pragma once

#include <wx/string.h>

#include <functional>

#include "launcher/config/launcher_urls.h"
#include "skinui/ui_task_runner.h"
#include "skinui/win_types.h"

class CControlUI;
class UINewsWnd;
class UINews2Wnd;
class UIServerListWnd;
class UITopWnd;
class UIUpdateWnd;

struct WindowOffset {
  int x = 0;
  int y = 0;
};

class ChildWindowHost : public LauncherUrls {
 public:
  ChildWindowHost(const ChildWindowHost&) = delete;
  ChildWindowHost& operator=(const ChildWindowHost&) = delete;

  // The host while it is published (there is one frame, published exactly
  // while g_pFrame points at it): what a plain event handler, which is given
  // no window, reaches. Null otherwise.
  static ChildWindowHost* Current();

  // The frame's window, which the children are placed against.
  virtual HWND FrameWindow() const = 0;
  // The one place that changes whether Enter game can be pressed (UI thread).
  virtual void SetEnterGameEnabled(bool enabled) = 0;

  // Hands a change of the windows to the UI thread: any thread, never waits.
  // It runs only while the frame lives, and finds each window through the
  // members below, which are null once that window is gone.
  void PostToWindows(std::function<void()> change) const { windowTasks_.Post(std::move(change)); }

  int layoutMode = 0;
  wxString serverListFile;
  WindowOffset newsPos, news2Pos, topPos, updatePos, serverListPos;
  UIUpdateWnd* updateWnd = nullptr;
  UIServerListWnd* serverListWnd = nullptr;
  UINewsWnd* newsWnd = nullptr;
  UINews2Wnd* news2Wnd = nullptr;
  UITopWnd* topWnd = nullptr;
  CControlUI* gameSetBtn = nullptr;

 protected:
  ChildWindowHost() = default;
  virtual ~ChildWindowHost() = default;

  // Called by the frame once it is whole, and first thing when it goes.
  void Publish();
  void Withdraw();

 private:
  skinui::UiTaskRunner windowTasks_;
};
