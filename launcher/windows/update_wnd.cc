#include "launcher/windows/update_wnd.h"

#include <cmath>
#include <string>

#include "launcher/config/game_settings.h"
#include "launcher/windows/child_window_host.h"
#include "launcher/windows/server_list_wnd.h"
#include "skinui/button.h"
#include "skinui/progress.h"
#include "skinui/window_system.h"

namespace {

// The image's left edge sits this far left of the point the bar reaches.
constexpr int kProgressImgLeftShift = 5;

// Truncation toward zero that stays defined for any float.
int TruncateToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(value);
}

}  // namespace

UIUpdateWnd::UIUpdateWnd() : SkinnedWindow({"ButtonUI", "OptionUI", "TextUI"}, false) {}

UIUpdateWnd::~UIUpdateWnd() = default;

CStdString UIUpdateWnd::SkinFile() const {
  return SkinForLayout(frame ? frame->layoutMode : 0, "server.xml", "server_720.xml",
                       "server_600.xml");
}

void UIUpdateWnd::InitWindow() {
  curVersionTxt = Find("CurVersionTxt");
  progressTxt = Find("ProgressTxt");
  CControlUI* bar = Find("ProgressCtrl");
  progressCtrl = bar ? static_cast<CProgressUI*>(bar->GetInterface("Progress")) : nullptr;
  CControlUI* option = Find("ServerBtn");
  serverBtn = option ? static_cast<COptionUI*>(option->GetInterface("Option")) : nullptr;
  progressImg = Find("ProgressImg");
  ShowWindowedMode();
}

void UIUpdateWnd::ShowWindowedMode() {
  CControlUI* control = Find("FullScreenOption");
  auto* option = control ? static_cast<COptionUI*>(control->GetInterface("Option")) : nullptr;
  if (!option) return;
  option->Selected(!GameSettings().FullScreen);
}

void UIUpdateWnd::SetProgress(float percent) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  if (progressTxt) progressTxt->SetText(std::to_string(TruncateToInt(percent)) + "%");
  if (progressCtrl) {
    const float value = static_cast<float>(progressCtrl->GetMaxValue()) * percent / 100.0f;
    progressCtrl->SetValue(TruncateToInt(value));
  }
  MoveProgressImg(percent / 100.0f);
}

void UIUpdateWnd::MoveProgressImg(float fraction) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  if (!progressImg || !progressCtrl) return;
  const float barX = static_cast<float>(progressCtrl->GetFixedXY().cx);
  const float barWidth = static_cast<float>(progressCtrl->GetFixedWidth());
  const int x = TruncateToInt(barX + barWidth * fraction - kProgressImgLeftShift);
  const int y = progressImg->GetFixedXY().cy;
  // Edges near the int range (a huge percentage) stay at its end.
  const int right = TruncateToInt(static_cast<double>(x) + progressImg->GetFixedWidth());
  const int bottom = TruncateToInt(static_cast<double>(y) + progressImg->GetFixedHeight());
  progressImg->SetPos(RECT{x, y, right, bottom});
}

void UIUpdateWnd::HidePopup() {
  if (frame && frame->serverListWnd) frame->serverListWnd->HideServerListPopup();
}

void UIUpdateWnd::Notify(TNotifyUI& msg) {
  if (msg.sType == "windowinit") {
    if (!progressCtrl) return;
    const int max = progressCtrl->GetMaxValue();
    // A bar without range starts the image at its left end.
    const float fraction =
        max == 0 ? 0.0f : static_cast<float>(progressCtrl->GetValue()) / static_cast<float>(max);
    MoveProgressImg(fraction);
    return;
  }
  if (msg.sType != "click" || !msg.pSender) return;
  const CStdString name = msg.pSender->GetName();
  if (name != "ServerBtn") HidePopup();

  if (name == "FullScreenOption") {
    GameSettings().FullScreen = !GameSettings().FullScreen;
    return;
  }
  UIServerListWnd* popup = frame ? frame->serverListWnd : nullptr;
  if (name == "ServerBtn") {
    if (!popup) return;
    auto* option = static_cast<COptionUI*>(msg.pSender->GetInterface("Option"));
    const bool open = option && option->IsSelected();
    popup->ShowWindow(!open, true);
    popup->LayoutServerListPopup();
    return;
  }
  int area = -1;
  if (name == "FirstServer")
    area = 0;
  else if (name == "DServer")
    area = 1;
  else if (name == "WServer")
    area = 2;
  if (area < 0 || !popup || !popup->domainList) return;
  FillServerList(static_cast<unsigned>(area));
  popup->LayoutServerListPopup();
}

LRESULT UIUpdateWnd::OnMouseActivate(WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CWindowWnd::HandleMessage(WM_MOUSEACTIVATE, wParam, lParam);
  POINT cursor = skinui::GetCursorPos();
  skinui::ScreenToClient(GetHWND(), &cursor);
  CControlUI* under = paintManager.FindControl(cursor);
  if (!under || under->GetName() != "ServerBtn") HidePopup();
  return result;
}

LRESULT UIUpdateWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  switch (uMsg) {
    case WM_DESTROY:
      skinui::PostQuitMessage(0);
      break;
    case WM_MOUSEACTIVATE:
      return OnMouseActivate(wParam, lParam);
    case WM_GETMINMAXINFO:
      OnGetMinMaxInfo(lParam);
      break;
    case WM_SYSCOMMAND:
      // A panel of the frame is closed only with the frame: the window
      // manager's close (Alt+F4 after a click on it) leaves it in place.
      if (wParam == SC_CLOSE) return 0;
      return SysCommandWithMaxRestore(wParam, lParam);
    default:
      break;
  }
  LRESULT result = 0;
  if (HandleCommonMessage(uMsg, wParam, lParam, result)) return result;
  return DefaultPath(uMsg, wParam, lParam);
}
