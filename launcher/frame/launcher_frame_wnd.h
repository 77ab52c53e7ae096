// The launcher's main frame: its window (skin "launcherSkin.xml" by layout
// mode, the buttons of the launcher, the five child windows that move with
// it) and the run-time state that the UI thread and the two worker threads
// share. One instance, reached through g_pFrame.
//
// Flags that cross threads are atomics. Strings and pointers that the UI
// thread sets up before the workers start (or before it sets `prepared`)
// are plain; the workers read them only after seeing the flag. The windows
// and controls belong to the UI thread: the workers hand their changes to
// it (PostToWindows) and never wait for them.
#pragma once

#include <wx/log.h>
#include <wx/string.h>

#include <atomic>
#include <cstdint>

#include "launcher/serverlist/server_list_thread.h"
#include "launcher/system/road_environment.h"
#include "launcher/system/run_log.h"
#include "launcher/windows/child_window_host.h"
#include "launcher/windows/skinned_window.h"
#include "platform/desktop.h"

class CControlUI;
struct LivePatchHolder;

// Frame window creation: title, style and size. The skin's own size replaces
// the size once the skin is attached, before the frame is centred.
inline constexpr const char kFrameTitle[] = "Velmor游戏";
inline constexpr DWORD kFrameStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
inline constexpr int kFrameWidth = 800;
inline constexpr int kFrameHeight = 572;

// The fixed customer-service page ("CustServiceBtn").
inline constexpr const char kCustomerServiceUrl[] = "http://www.velmorsoft.com/kefu.php";

// The layout mode for a display: 0 for at least 1024 x 768, 2 for a width of
// at most 800 or a height below 720, else 1.
int LayoutModeForDisplay(const platform::DisplayMode& mode);

// The addresses are the frame's own members; the loaders and workers that
// need only them take the LauncherUrls part, the child windows the
// ChildWindowHost part and the server-list thread the ServerListHost part.
class LauncherFrameWnd : public SkinnedWindow, public ChildWindowHost, public ServerListHost {
 public:
  // Builds the frame object without a window: default state, the layout
  // from the current display mode, wxWidgets initialised.
  LauncherFrameWnd();
  // Releases the frame's own state; neither destroys the window nor deletes
  // the child windows or the log target (shut-down does that first).
  ~LauncherFrameWnd() override;

  wxString programDir;  // the launcher's directory with trailing separator
  std::atomic<bool> updateNeeded{false};
  uint32_t installTotalBytes = 0;
  uint32_t installDoneBytes = 0;
  RunLogHandle logTarget{nullptr};  // null: no run log
  std::atomic<bool> launcherUpdatePending{false};
  // A package of this run could not be unpacked or installed: the installed
  // versions stay where they were, so that the next start fetches it again.
  std::atomic<bool> packageFailed{false};
  wxString launcherUpdaterPath;
  wxString launcherPackageDir;
  std::atomic<bool> prepared{false};
  std::atomic<uint32_t> prepareTick{0};
  CControlUI* registerBtn = nullptr;
  CControlUI* enterGameBtn = nullptr;
  CControlUI* closeBtn = nullptr;
  CControlUI* minBtn = nullptr;
  CControlUI* webBtn = nullptr;
  CControlUI* rechargeBtn = nullptr;
  CControlUI* forumBtn = nullptr;
  CControlUI* custServiceBtn = nullptr;
  LivePatchHolder* livePatch = nullptr;
  // The environment of the network roads and the workers; start-up sets
  // the one the launcher runs on.
  RoadEnvironment* roadEnvironment = &SystemRoadEnvironment();

  // Picks the layout mode from the current display mode and writes the
  // child offsets of modes 1 and 2.
  int ChooseLayout();

  // Binds the buttons, opens the run log and reads the configuration.
  void Init();
  // "windowinit": creates the child windows, shows the cached server list,
  // marks the frame prepared and starts the server-list thread.
  void OnPrepare();
  // WM_MOVE: every existing child follows the frame at its offset. 0.
  LRESULT MoveChildWindows();
  LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam, bool& handled);
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  void Notify(TNotifyUI& msg) override;

  // First shut-down step: deletes the child windows (their windows stay),
  // detaches and deletes the log target, ends wxWidgets.
  void DestroyChildWindows();
  // Shut-down: destroys the frame's window without asking the message loop
  // to end again.
  void DestroyWindowForShutDown();

  // The one place that changes whether Enter game can be pressed (UI
  // thread); nothing before the button is bound.
  void SetEnterGameEnabled(bool enabled) override;
  HWND FrameWindow() const override { return GetHWND(); }

  // The server-list thread's host: the list it read after a download is
  // shown on the update panel, with the current server chosen from it.
  RoadEnvironment& Road() override { return *roadEnvironment; }
  const LauncherUrls& ServerListAddresses() const override { return *this; }
  RunLogHandle& ServerListLog() override { return logTarget; }
  void ShowServerList(ServerListSelection selection) override;
  // OnPrepare's step: the cached ServerList.xml shown when it holds more
  // than 3 bytes, and what the windows then show kept for the server-list
  // thread, which is started after it. True when a list was shown and a
  // server chosen from it (SelectCurrentServer).
  bool ShowCachedServerList();

  // The button actions.
  void EnterGame();
  void OpenRegisterWindow();
  void OpenSettings();

 protected:
  const char* GetWindowClassName() const override { return "UIMainFrame"; }
  UINT GetClassStyle() const override { return kFrameClassStyle; }
  CStdString SkinFile() const override;
  void InitWindow() override { Init(); }

 private:
  void OnClick(CControlUI* sender);
  void HideServerListPopup();
  // Makes one child window that knows the frame, at the frame's origin plus
  // `offset`. False (and the launcher closes) when there is no memory for it.
  template <typename Child>
  bool CreateChild(Child*& child, const WindowOffset& offset, const RECT& frameRect);

  bool wxInitialized_ = false;
  bool quitOnDestroy_ = true;
};

// The one frame: set at the end of its construction, null after shut-down.
extern std::atomic<LauncherFrameWnd*> g_pFrame;
