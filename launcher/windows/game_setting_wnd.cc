#include "launcher/windows/game_setting_wnd.h"

#include "launcher/config/game_settings.h"
#include "launcher/windows/background_wnd.h"
#include "launcher/windows/child_window_host.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/button.h"

namespace {

UIGameSettingWnd* g_openDialog = nullptr;  // UI thread only

COptionUI* FindOption(CPaintManagerUI& manager, const char* name) {
  CControlUI* control = manager.FindControl(name);
  return control ? static_cast<COptionUI*>(control->GetInterface("Option")) : nullptr;
}

}  // namespace

UIGameSettingWnd::UIGameSettingWnd() : SkinnedWindow({"ButtonUI"}, true) { g_openDialog = this; }

UIGameSettingWnd::~UIGameSettingWnd() {
  if (g_openDialog == this) g_openDialog = nullptr;
}

UIGameSettingWnd* UIGameSettingWnd::OpenDialog() { return g_openDialog; }

void UIGameSettingWnd::InitWindow() {
  fullScreenOption = FindOption(paintManager, "FullScreenOption");
  for (int i = 0; i < 4; ++i) {
    resolutionOptions[i] = FindOption(paintManager, kResolutionOptionNames[i]);
  }
  if (fullScreenOption) fullScreenOption->Selected(!GameSettings().FullScreen);
  for (int i = 0; i < 4; ++i) {
    if (!resolutionOptions[i]) continue;
    if (pendingResolution.empty()) {
      const wxString& stored = GameSettings().Resolution;
      pendingResolution = stored.empty() ? CStdString("0") : CStdString(stored.utf8_string());
    }
    if (pendingResolution == kResolutionCodes[i]) resolutionOptions[i]->Selected(true);
  }
}

void UIGameSettingWnd::CloseBoth() {
  ChildWindowHost* frame = backGround ? backGround->frame : nullptr;
  if (frame && frame->gameSetBtn) frame->gameSetBtn->SetEnabled(true);
  Close();
  if (backGround) backGround->Close();
}

void UIGameSettingWnd::Notify(TNotifyUI& msg) {
  if (msg.sType != "click" || !msg.pSender) return;
  const CStdString name = msg.pSender->GetName();
  if (name == "FullScreenOption") {
    GameSettings().FullScreen = !GameSettings().FullScreen;
    // The update panel shows the same setting.
    ChildWindowHost* frame = backGround ? backGround->frame : nullptr;
    if (frame && frame->updateWnd) frame->updateWnd->ShowWindowedMode();
    return;
  }
  if (name == "OkBtn") {
    // A dialog whose skin offered no resolution has no choice to store;
    // the stored code stays rather than being wiped.
    if (!pendingResolution.empty())
      GameSettings().Resolution = wxString::FromUTF8(pendingResolution);
    GameSettings().Save();  // a failed save keeps the values in memory only
    CloseBoth();
    return;
  }
  if (name == "CancelBtn") {
    CloseBoth();
    return;
  }
  for (int i = 0; i < 4; ++i) {
    if (name == kResolutionOptionNames[i]) {
      pendingResolution = kResolutionCodes[i];
      return;
    }
  }
}

LRESULT UIGameSettingWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_CREATE) return OnCreate();
  if (uMsg == WM_NCHITTEST) return OnNcHitTest(lParam);
  if (uMsg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
    // Enter and Escape act as the dialog's buttons.
    if (CControlUI* button = Find(wParam == VK_RETURN ? "OkBtn" : "CancelBtn")) button->Activate();
    return 0;
  }
  // The window manager's close is Cancel: the backdrop goes with the dialog
  // and the settings button works again.
  if (uMsg == WM_SYSCOMMAND && wParam == SC_CLOSE) {
    CloseBoth();
    return 0;
  }
  return DefaultPath(uMsg, wParam, lParam);
}

void UIGameSettingWnd::OnFinalMessage(HWND /*hwnd*/) { delete this; }
