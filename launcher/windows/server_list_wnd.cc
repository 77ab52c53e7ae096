#include "launcher/windows/server_list_wnd.h"

#include <algorithm>

#include "launcher/windows/child_window_host.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/button.h"
#include "skinui/list.h"
#include "skinui/window_system.h"

namespace {

constexpr int kRowHeight = 27;
constexpr int kMaxRows = 5;
constexpr int kListPadding = 4;  // added once for a non-empty list
// The popup's bottom edge lies this far below the update panel's top.
constexpr int kBottomBelowAnchor = 46;
constexpr UINT kPopupMoveFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;

}  // namespace

UIServerListWnd::UIServerListWnd() : SkinnedWindow({"ButtonUI"}, true) {}

int UIServerListWnd::PopupHeight(int itemCount) {
  const int rows = std::min(std::max(itemCount, 0), kMaxRows);
  return kRowHeight * rows + (itemCount > 0 ? kListPadding : 0);
}

int UIServerListWnd::PopupOffsetY(int anchor, int itemCount) {
  return anchor + kBottomBelowAnchor - PopupHeight(itemCount);
}

void UIServerListWnd::InitWindow() {
  CControlUI* list = Find("domainlist");
  domainList = list ? static_cast<CListUI*>(list->GetInterface("List")) : nullptr;
  if (frame) anchorY = frame->updatePos.y;
}

void UIServerListWnd::LayoutServerListPopup() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  if (!domainList || !frame) return;
  const int count = domainList->GetCount();
  const int height = PopupHeight(count);
  const int y = PopupOffsetY(anchorY, count);
  frame->serverListPos.y = y;
  RECT frameRect;
  skinui::GetWindowRect(frame->FrameWindow(), &frameRect);
  skinui::SetWindowPosition(GetHWND(), HWND_TOP, frameRect.left + frame->serverListPos.x,
                            frameRect.top + y, 0, 0, kPopupMoveFlags);
  RECT own;
  skinui::GetWindowRect(GetHWND(), &own);
  ResizeClient(skinui::RectWidth(own), height);
}

void UIServerListWnd::HideServerListPopup() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  COptionUI* serverBtn = frame && frame->updateWnd ? frame->updateWnd->serverBtn : nullptr;
  if (!serverBtn || !serverBtn->IsSelected()) return;
  serverBtn->Selected(false);
  ShowWindow(false, true);
}

void UIServerListWnd::Notify(TNotifyUI& msg) {
  if (msg.sType != "itemclick") return;
  COptionUI* serverBtn = frame && frame->updateWnd ? frame->updateWnd->serverBtn : nullptr;
  if (serverBtn) {
    if (msg.pSender) serverBtn->SetText(msg.pSender->GetText());
    serverBtn->Selected(!serverBtn->IsSelected());
  }
  ShowWindow(false, true);
}

LRESULT UIServerListWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  // Closed only with the frame, never by the window manager's close.
  if (uMsg == WM_SYSCOMMAND && wParam == SC_CLOSE) return 0;
  LRESULT result = 0;
  if (HandleCommonMessage(uMsg, wParam, lParam, result)) return result;
  return DefaultPath(uMsg, wParam, lParam);
}
