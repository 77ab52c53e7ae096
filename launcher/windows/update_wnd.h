// The update panel: installed version, update progress (text, bar and an
// image riding on the bar) and the server picker ("ServerBtn" opens the
// server-list popup; the tabs "FirstServer", "DServer", "WServer" fill it
// with areas 0, 1 and 2). It also holds the parsed server list.
//
// Threads: UI thread only, as every window. The update thread and the
// server-list thread hand their changes to it (ChildWindowHost::
// PostToWindows).
#pragma once

#include <vector>

#include "launcher/serverlist/server_choice.h"
#include "launcher/serverlist/server_list.h"
#include "launcher/windows/skinned_window.h"

class COptionUI;
class CProgressUI;
class ChildWindowHost;

class UIUpdateWnd : public SkinnedWindow {
 public:
  UIUpdateWnd();
  ~UIUpdateWnd() override;

  // Set by the frame before the window is created.
  ChildWindowHost* frame = nullptr;
  // Controls bound on creation; each nullptr when the skin lacks it.
  CControlUI* curVersionTxt = nullptr;  // "CurVersionTxt"
  CControlUI* progressTxt = nullptr;    // "ProgressTxt"
  CProgressUI* progressCtrl = nullptr;  // "ProgressCtrl"
  COptionUI* serverBtn = nullptr;       // "ServerBtn"
  CControlUI* progressImg = nullptr;    // "ProgressImg"
  // The parsed server list.
  std::vector<AreaInfo> areas;
  // The area last put into the popup; -1 for none.
  int currentArea = -1;

  // Shows `percent`: "<whole percent>%", the bar's share of its maximum and
  // the image over the bar.
  void SetProgress(float percent);
  // Places "ProgressImg" so that its left edge sits 5 pixels left of the
  // point the fraction (0..1) reaches on the bar.
  void MoveProgressImg(float fraction);
  // Shows the windowed-mode setting on "FullScreenOption" (selected for a
  // windowed display, FullScreen false): at creation, and whenever the
  // settings dialog changes it, so that both always show the same.
  void ShowWindowedMode();

  // The server list on the panel (update_wnd_server_list.cc): the list
  // named by the frame's serverListFile, read; the version shown, that list
  // read, the current server chosen from it and saved, and all of it shown
  // (false when the list cannot be read or area 0 cannot be shown); a list
  // read and chosen from elsewhere shown (the version too; false as
  // before); the popup filled with one area; whether the popup has its list.
  ServerListReadResult LoadServerList() const;
  bool SelectCurrentServer();
  bool ShowServerSelection(ServerListSelection selection);
  bool FillServerList(unsigned areaIndex);
  bool PopupListsServers() const;

  void Notify(TNotifyUI& msg) override;

 protected:
  const char* GetWindowClassName() const override { return "UIUpdateFrame"; }
  UINT GetClassStyle() const override { return kFrameClassStyle; }
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  CStdString SkinFile() const override;
  void InitWindow() override;

 private:
  LRESULT OnMouseActivate(WPARAM wParam, LPARAM lParam);
  void HidePopup();
};

// The event handler bound to every server item of the popup: a left-button
// press chooses the item's server. See update_wnd_server_list.cc.
bool OnServerItemEvent(void* event);
