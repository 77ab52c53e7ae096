#include "launcher/frame/launcher_frame_wnd.h"

#include <wx/init.h>

#include <memory>
#include <new>

#include "launcher/config/config_loaders.h"
#include "launcher/config/settings_file.h"
#include "launcher/config/setup_config.h"
#include "launcher/frame/game_start.h"
#include "launcher/serverlist/chosen_server.h"
#include "launcher/system/file_size.h"
#include "launcher/system/instance_path.h"
#include "launcher/system/my_thread.h"
#include "launcher/system/process_helpers.h"
#include "launcher/system/run_log.h"
#include "launcher/windows/background_wnd.h"
#include "launcher/windows/news2_wnd.h"
#include "launcher/windows/news_wnd.h"
#include "launcher/windows/server_list_wnd.h"
#include "launcher/windows/top_wnd.h"
#include "launcher/windows/update_wnd.h"
#include "platform/shared_library.h"
#include "platform/tick.h"
#include "skinui/window_system.h"

std::atomic<LauncherFrameWnd*> g_pFrame{nullptr};

namespace {

// Child offsets from the frame's top-left corner, by layout mode.
struct ChildOffsets {
  WindowOffset news, news2, top, update, serverList;
};
constexpr ChildOffsets kOffsets[3] = {
    {{199, 323}, {499, 323}, {189, 197}, {106, 580}, {566, 280}},
    {{186, 286}, {492, 286}, {190, 186}, {105, 545}, {567, 480}},
    {{132, 236}, {383, 236}, {128, 148}, {70, 453}, {420, 480}},
};

// The settings window's offset from the frame and client size, by mode
// (mode 0 keeps the skin's size).
struct SettingsPlacement {
  WindowOffset offset;
  int cx, cy;
};
constexpr SettingsPlacement kSettingsPlacement[3] = {
    {{190, 200}, 0, 0},
    {{180, 180}, 615, 370},
    {{130, 140}, 510, 310},
};

// Caption double-click: SC_MAXIMIZE with the caption hit code.
constexpr WPARAM kCaptionDoubleClickMaximize = 0xF032;

constexpr UINT kFlagsRaise = SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
constexpr UINT kFlagsKeepOrder = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
constexpr UINT kFlagsPopup = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;

const char kUpdateRunningText[] = "游戏正在连接服务器，请稍候！";
const char kNoticeCaption[] = "提示";

const char kRegisterLibrary[] = "Register.dll";
const char kRegisterExport[] = "CreateRegisterWindow";
typedef int (*CreateRegisterWindowFunction)(void* parameter);

void MoveChild(CWindowWnd* child, const RECT& frameRect, const WindowOffset& offset, UINT flags) {
  if (!child) return;
  skinui::SetWindowPosition(child->GetHWND(), HWND_TOP, frameRect.left + offset.x,
                            frameRect.top + offset.y, 0, 0, flags);
}

}  // namespace

int LayoutModeForDisplay(const platform::DisplayMode& mode) {
  const unsigned width = static_cast<unsigned>(mode.width);
  const unsigned height = static_cast<unsigned>(mode.height);
  if (width >= 1024 && height >= 768) return 0;
  if (width <= 800 || height < 720) return 2;
  return 1;
}

LauncherFrameWnd::LauncherFrameWnd() : SkinnedWindow({"ButtonUI", "OptionUI", "TextUI"}, false) {
  prepareTick = platform::TickCount();
  newsPos = kOffsets[0].news;
  news2Pos = kOffsets[0].news2;
  topPos = kOffsets[0].top;
  updatePos = kOffsets[0].update;
  serverListPos = kOffsets[0].serverList;
  layoutMode = ChooseLayout();
  wxInitialized_ = wxInitialize();
  g_pFrame = this;
  Publish();
}

LauncherFrameWnd::~LauncherFrameWnd() {
  Withdraw();
  // A frame that never went through shut-down still ends wxWidgets once.
  if (wxInitialized_) wxUninitialize();
  LauncherFrameWnd* self = this;
  g_pFrame.compare_exchange_strong(self, nullptr);
}

int LauncherFrameWnd::ChooseLayout() {
  const int mode = LayoutModeForDisplay(platform::CurrentDesktop().GetDisplayMode());
  if (mode != 0) {
    const ChildOffsets& offsets = kOffsets[mode];
    newsPos = offsets.news;
    news2Pos = offsets.news2;
    topPos = offsets.top;
    updatePos = offsets.update;
    serverListPos = offsets.serverList;
  }
  return mode;
}

CStdString LauncherFrameWnd::SkinFile() const {
  return SkinForLayout(layoutMode, "launcherSkin.xml", "launcherSkin_720.xml",
                       "launcherSkin_600.xml");
}

void LauncherFrameWnd::Init() {
  closeBtn = Find("CloseBtn");
  minBtn = Find("MinBtn");
  webBtn = Find("WebBtn");
  registerBtn = Find("RegisterBtn");
  rechargeBtn = Find("RechargeBtn");
  forumBtn = Find("ForumBtn");
  gameSetBtn = Find("GameSetBtn");
  enterGameBtn = Find("EnterGameBtn");
  custServiceBtn = Find("CustServiceBtn");

  OpenRunLog(logTarget);
  if (!LoadMainConfig(programDir)) {
    RUNLOG_ERROR(logTarget, 262, "load orvo.ini error");
    RUNLOG_CAUSE(logTarget, 262, WhySettingsFileUnreadable(ProgramFilePath("orvo.ini")));
  }
  LoadResolutionConfig();
  LoadVersionConfig();
  SetDefaultUrls(*this);
  LoadAddrConfig(*this);
  LoadWebConfig(*this);
  RUNLOG_MESSAGE(logTarget, 276, "%s", "launcher Init!");
}

template <typename Child>
bool LauncherFrameWnd::CreateChild(Child*& child, const WindowOffset& offset,
                                   const RECT& frameRect) {
  child = new (std::nothrow) Child();
  if (!child) {
    // No memory for a child: the launcher closes.
    Close();
    return false;
  }
  child->frame = this;
  child->Create(GetHWND(), "", kSkinnedPopupStyle, 0, frameRect.left + offset.x,
                frameRect.top + offset.y, 0, 0);
  return true;
}

void LauncherFrameWnd::OnPrepare() {
  // Shut-down has begun (a "windowinit" met while the queue is emptied).
  if (WorkerStopRequested()) return;
  RECT rect;
  skinui::GetWindowRect(GetHWND(), &rect);

  if (!CreateChild(newsWnd, newsPos, rect) || !CreateChild(news2Wnd, news2Pos, rect) ||
      !CreateChild(topWnd, topPos, rect) || !CreateChild(updateWnd, updatePos, rect) ||
      !CreateChild(serverListWnd, serverListPos, rect))
    return;
  serverListWnd->ShowWindow(false, true);

  ShowCachedServerList();

  // Enter game waits for the update road (or a server pressed). Disabled
  // here, before the update thread can pass its wait: disabled by the
  // server-list thread, it could undo the road's enabling made first.
  SetEnterGameEnabled(false);
  // The tick goes first so that a worker seeing the flags sees it too.
  prepareTick = platform::TickCount();
  serverListRequested = true;
  prepared = true;
  RUNLOG_MESSAGE(logTarget, 331, "finish  launcher OnPrepare! ");

  StartWorker(Road(), ServerListThreadProc, static_cast<ServerListHost*>(this),
              "Can't create the Load  server list thread!", "Load  server list Thread run Error!");
}

bool LauncherFrameWnd::ShowCachedServerList() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  // A cached list of more than 3 bytes is shown at once.
  const wxString cachedList = programDir + NameInProgramDirectory("ServerList.xml");
  bool shown = false;
  if (updateWnd && QueryFileSize(cachedList, logTarget) > 3) {
    serverListFile = "ServerList.xml";
    shown = updateWnd->SelectCurrentServer();
  }
  // What the server-list thread goes on from; it is started after this.
  shownServerList = updateWnd ? CopyAreaList(updateWnd->areas) : AreaList();
  popupListsServers = updateWnd && updateWnd->PopupListsServers();
  return shown;
}

LRESULT LauncherFrameWnd::MoveChildWindows() {
  RECT rect;
  skinui::GetWindowRect(GetHWND(), &rect);
  // The news panel and the banner are raised; the others keep their place.
  MoveChild(newsWnd, rect, newsPos, kFlagsRaise);
  MoveChild(news2Wnd, rect, news2Pos, kFlagsKeepOrder);
  MoveChild(topWnd, rect, topPos, kFlagsRaise);
  MoveChild(serverListWnd, rect, serverListPos, kFlagsPopup);
  MoveChild(updateWnd, rect, updatePos, kFlagsKeepOrder);
  return 0;
}

LRESULT LauncherFrameWnd::OnSysCommand(WPARAM wParam, LPARAM lParam, bool& handled) {
  handled = true;
  if (wParam == SC_CLOSE) {
    skinui::PostQuitMessage(0);
    return 0;
  }
  if (wParam == kCaptionDoubleClickMaximize) return 0;  // the frame is not maximised
  if (wParam == SC_RESTORE) EnsureTrueColor();
  return SysCommandWithMaxRestore(wParam, lParam);
}

void LauncherFrameWnd::HideServerListPopup() {
  if (serverListWnd) serverListWnd->HideServerListPopup();
}

LRESULT LauncherFrameWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  switch (uMsg) {
    case WM_DESTROY:
      if (quitOnDestroy_) skinui::PostQuitMessage(0);
      break;
    case WM_MOVE:
      return MoveChildWindows();
    case WM_MOUSEACTIVATE:
      result = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
      HideServerListPopup();
      return result;
    case WM_GETMINMAXINFO:
      OnGetMinMaxInfo(lParam);
      break;
    case WM_NCPAINT:
      EnsureTrueColor();
      return 0;
    case WM_SYSCOMMAND: {
      bool handled = false;
      result = OnSysCommand(wParam, lParam, handled);
      if (handled) return result;
      break;
    }
    default:
      break;
  }
  if (HandleCommonMessage(uMsg, wParam, lParam, result)) return result;
  return DefaultPath(uMsg, wParam, lParam);
}

void LauncherFrameWnd::Notify(TNotifyUI& msg) {
  if (msg.sType == "windowinit") {
    OnPrepare();
  } else if (msg.sType == "click") {
    HideServerListPopup();
    OnClick(msg.pSender);
  }
}

void LauncherFrameWnd::OnClick(CControlUI* sender) {
  if (!sender) return;
  platform::Desktop& desktop = platform::CurrentDesktop();
  // Pages open in the user's browser; a failure is not reported.
  if (sender == closeBtn) {
    skinui::PostQuitMessage(0);
  } else if (sender == minBtn) {
    SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (sender == webBtn) {
    desktop.OpenUrl(websiteUrl.utf8_string());
  } else if (sender == rechargeBtn) {
    desktop.OpenUrl(rechargeUrl.utf8_string());
  } else if (sender == forumBtn) {
    desktop.OpenUrl(bbsUrl.utf8_string());
  } else if (sender == custServiceBtn) {
    desktop.OpenUrl(kCustomerServiceUrl);
  } else if (sender == registerBtn) {
    OpenRegisterWindow();
  } else if (sender == gameSetBtn) {
    OpenSettings();
  } else if (sender == enterGameBtn) {
    EnterGame();
  }
}

void LauncherFrameWnd::OpenRegisterWindow() {
  // Converted from a private copy: wxString caches conversions inside the
  // object, and the workers read programDir too.
  const wxString directory(programDir.wc_str());
  const std::string fileName = platform::SharedLibraryFileName(kRegisterLibrary);
  // The launcher's directory first, then the loader's own search path.
  auto library = platform::SharedLibrary::Load(directory.utf8_string() + fileName);
  if (!library) library = platform::SharedLibrary::Load(fileName);
  if (!library) return;  // not reported
  auto create = library.value().Symbol(kRegisterExport);
  // The window is done when the call returns, so the library may go.
  if (create) reinterpret_cast<CreateRegisterWindowFunction>(create.value())(nullptr);
}

void LauncherFrameWnd::OpenSettings() {
  auto* backGround = new (std::nothrow) UIBackGroundWnd();
  if (!backGround) {
    Close();
    return;
  }
  RECT rect;
  skinui::GetWindowRect(GetHWND(), &rect);
  backGround->frame = this;
  const int mode = (layoutMode == 1 || layoutMode == 2) ? layoutMode : 0;
  const SettingsPlacement& placement = kSettingsPlacement[mode];
  backGround->Create(GetHWND(), "", kSkinnedPopupStyle, 0, rect.left + placement.offset.x,
                     rect.top + placement.offset.y, 0, 0);
  if (mode != 0) backGround->ResizeClient(placement.cx, placement.cy);
  // Returns when the settings are closed; the window deletes its object.
  backGround->ShowModal();
}

void LauncherFrameWnd::ShowServerList(ServerListSelection selection) {
  // A copy of a selection cannot be made (its records are owned), and a
  // posted change must be copyable: it is shared instead.
  auto shared = std::make_shared<ServerListSelection>(std::move(selection));
  PostToWindows([this, shared] {
    serverListFile = "ServerList.xml";
    if (updateWnd) updateWnd->ShowServerSelection(std::move(*shared));
  });
}

void LauncherFrameWnd::SetEnterGameEnabled(bool enabled) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  if (enterGameBtn) enterGameBtn->SetEnabled(enabled);
}

void LauncherFrameWnd::EnterGame() {
  if (updateNeeded) {
    SetEnterGameEnabled(false);
    platform::CurrentDesktop().ShowMessageBox(kUpdateRunningText, kNoticeCaption,
                                              platform::MessageBoxButtons::Ok);
    return;
  }
  const ChosenServer chosen = GetChosenServer();
  if (!chosen.addr.empty()) {
    StoreServerInSetup(chosen, StoreSid::No);
    StartGame(programDir);
    return;
  }
  bool saved;
  {
    auto lock = SetupConfig().Lock();
    saved = !SetupConfig().ServerAddr.empty();
  }
  if (saved) {
    StartGame(programDir);
    return;
  }
  if (!updateWnd || updateWnd->areas.empty() || updateWnd->areas[0].servers.empty()) return;
  const ServerInfo& first = *updateWnd->areas[0].servers[0];
  StoreServerInSetup(ChosenServer{first.address, first.port, first.chargeIp, ""}, StoreSid::No);
  StartGame(programDir);
}

void LauncherFrameWnd::DestroyChildWindows() {
  delete newsWnd;
  newsWnd = nullptr;
  delete news2Wnd;
  news2Wnd = nullptr;
  delete topWnd;
  topWnd = nullptr;
  delete serverListWnd;
  serverListWnd = nullptr;
  CloseRunLog(logTarget);
  delete updateWnd;
  updateWnd = nullptr;
  if (wxInitialized_) {
    wxUninitialize();
    wxInitialized_ = false;
  }
}

void LauncherFrameWnd::DestroyWindowForShutDown() {
  quitOnDestroy_ = false;
  const HWND hwnd = GetHWND();
  if (hwnd) skinui::DestroyWindow(hwnd);
}
