#include "launcher/windows/background_wnd.h"

#include <new>

#include "launcher/windows/child_window_host.h"
#include "launcher/windows/game_setting_wnd.h"

UIBackGroundWnd::UIBackGroundWnd() : SkinnedWindow({"ButtonUI"}, true) {}

void UIBackGroundWnd::Notify(TNotifyUI& msg) {
  if (msg.sType == "windowinit") OpenSettingDialog();
}

void UIBackGroundWnd::OpenSettingDialog() {
  auto* dialog = new (std::nothrow) UIGameSettingWnd();
  if (!dialog) {
    Close();
    return;
  }
  dialog->backGround = this;
  if (frame && frame->gameSetBtn) frame->gameSetBtn->SetEnabled(false);
  dialog->Create(GetHWND(), "", kSkinnedPopupStyle, 0, 0, 0, 0, 0);
  dialog->CenterWindow();
  // The dialog deletes itself when its window goes; nothing of it is used
  // after this returns.
  dialog->ShowModal();
}

LRESULT UIBackGroundWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  // The window manager's close cancels the settings, as the dialog's does.
  if (uMsg == WM_SYSCOMMAND && wParam == SC_CLOSE) {
    if (frame && frame->gameSetBtn) frame->gameSetBtn->SetEnabled(true);
    Close();
    return 0;
  }
  LRESULT result = 0;
  if (HandleCommonMessage(uMsg, wParam, lParam, result)) return result;
  return DefaultPath(uMsg, wParam, lParam);
}

void UIBackGroundWnd::OnFinalMessage(HWND /*hwnd*/) {
  paintManager.RemovePreMessageFilter(this);
  delete this;
}
