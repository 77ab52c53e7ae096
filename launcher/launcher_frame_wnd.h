// The launcher's main frame and the run-time state that the UI thread and
// the two worker threads share. One instance, reached through g_pFrame.
//
// Flags that cross threads are atomics; strings and pointers that the UI
// thread sets up before the workers start are plain.
#pragma once

#include <wx/log.h>
#include <wx/string.h>

#include <atomic>
#include <cstdint>

class UIUpdateWnd;
class UIServerListWnd;
class UINewsWnd;
class UINews2Wnd;
class UITopWnd;
class CControlUI;
struct LivePatchHolder;

struct WindowOffset {
  int x = 0;
  int y = 0;
};

class LauncherFrameWnd {
 public:
  LauncherFrameWnd();
  ~LauncherFrameWnd();
  LauncherFrameWnd(const LauncherFrameWnd&) = delete;
  LauncherFrameWnd& operator=(const LauncherFrameWnd&) = delete;

  wxString serverListFile;
  wxString programDir;  // the launcher's directory with trailing separator
  std::atomic<bool> updateNeeded{false};
  uint32_t installTotalBytes = 0;
  uint32_t installDoneBytes = 0;
  std::atomic<wxLog*> logTarget{nullptr};  // null: no run log
  std::atomic<bool> launcherUpdatePending{false};
  wxString launcherUpdaterPath;
  wxString launcherPackageDir;
  std::atomic<bool> prepared{false};
  std::atomic<bool> serverListRequested{false};
  std::atomic<uint32_t> prepareTick{0};
  int layoutMode = 0;
  UIUpdateWnd* updateWnd = nullptr;
  WindowOffset newsPos, news2Pos, topPos, updatePos, serverListPos;
  CControlUI* gameSetBtn = nullptr;
  UIServerListWnd* serverListWnd = nullptr;
  CControlUI* registerBtn = nullptr;
  CControlUI* enterGameBtn = nullptr;
  wxString top600Url, left600Url, right600Url, topUrl, rightUrl, leftUrl, websiteUrl;
  CControlUI* closeBtn = nullptr;
  CControlUI* minBtn = nullptr;
  CControlUI* webBtn = nullptr;
  CControlUI* rechargeBtn = nullptr;
  CControlUI* forumBtn = nullptr;
  CControlUI* custServiceBtn = nullptr;
  UINewsWnd* newsWnd = nullptr;
  UINews2Wnd* news2Wnd = nullptr;
  UITopWnd* topWnd = nullptr;
  LivePatchHolder* livePatch = nullptr;
  wxString serverListUrl1, serverListUrl2;
  wxString updateVersionUrl1, updateVersionUrl2;
  wxString rechargeUrl, bbsUrl;
};

// The one frame: set at the end of its construction, null after shut-down.
extern std::atomic<LauncherFrameWnd*> g_pFrame;
