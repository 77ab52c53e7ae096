#include "register/register_wnd.h"

#include <utility>

#include "skinui/activex.h"
#include "skinui/dialog_builder.h"
#include "skinui/thread_checker.h"
#include "skinui/window_system.h"

namespace register_window {
namespace {

// The launcher's look: a captioned popup whose caption goes on creation, so
// the skin draws the whole window; it is dragged by the skin's caption band.
constexpr DWORD kPopupStyle = 0x96C80000u;
constexpr DWORD kWithoutCaptionMask = 0xFF3FFFFFu;
constexpr DWORD kClipBits = WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;
constexpr char kTitle[] = "注册账号";
constexpr char kLauncherFrameClass[] = "UIMainFrame";

}  // namespace

HWND FindLauncherFrame() {
  SKINUI_DCHECK_ON_UI_THREAD();
  for (HWND hwnd : skinui::GetZOrder()) {
    if (skinui::GetWindowClassName(hwnd) == kLauncherFrameClass && skinui::IsWindowVisible(hwnd))
      return hwnd;
  }
  return nullptr;
}

UIRegisterWnd::UIRegisterWnd(std::string pageUrl) : pageUrl_(std::move(pageUrl)) {}

UIRegisterWnd::~UIRegisterWnd() = default;

UINT UIRegisterWnd::GetClassStyle() const { return kClassStyle; }

bool UIRegisterWnd::ShowAndWait(HWND owner) {
  SKINUI_DCHECK_ON_UI_THREAD();
  const HWND hwnd = Create(owner, kTitle, kPopupStyle, 0, 0, 0, 0, 0);
  if (!hwnd) return false;
  CenterWindow();
  ShowModal();
  // A quit request ends the modal loop with the window still up; our code
  // goes with the library, so the window must go first.
  if (skinui::IsWindow(hwnd)) skinui::DestroyWindow(hwnd);
  return true;
}

void UIRegisterWnd::Notify(TNotifyUI& msg) {
  if (msg.sType == "click" && msg.pSender && msg.pSender->GetName() == kCloseButton) Close();
}

LRESULT UIRegisterWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  switch (uMsg) {
    case WM_CREATE:
      return OnCreate();
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
      return 0;
    case WM_NCHITTEST:
      return OnNcHitTest(lParam);
    case WM_SIZE:
      OnSize();
      break;  // the paint manager lays the controls out
    case WM_KEYDOWN:
      // Escape closes, as the close button does.
      if (wParam == VK_ESCAPE) {
        Close();
        return 0;
      }
      break;
    default:
      break;
  }
  LRESULT result = 0;
  if (paintManager_.MessageHandler(uMsg, wParam, lParam, result)) return result;
  return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

LRESULT UIRegisterWnd::OnCreate() {
  const HWND hwnd = GetHWND();
  skinui::SetWindowStyle(hwnd, (skinui::GetWindowStyle(hwnd) & kWithoutCaptionMask) | kClipBits);
  paintManager_.Init(hwnd);
  CDialogBuilder builder;
  // A skin that cannot be built leaves a window without controls, which the
  // launcher's quit still closes.
  paintManager_.AttachDialog(builder.Create(kSkinFile, nullptr, nullptr, &paintManager_, nullptr));
  paintManager_.AddNotifier(this);
  Navigate();
  return 0;
}

void UIRegisterWnd::Navigate() {
  CControlUI* control = paintManager_.FindControl(kBrowserControl);
  auto* activeX = control ? static_cast<CActiveXUI*>(control->GetInterface("ActiveX")) : nullptr;
  IWebBrowser2* browser = nullptr;
  if (!activeX ||
      FAILED(activeX->GetControl(IID_IWebBrowser2, reinterpret_cast<void**>(&browser))) || !browser)
    return;
  browser->Navigate(CStdString(pageUrl_));
  browser->Release();
}

void UIRegisterWnd::OnSize() {
  const HWND hwnd = GetHWND();
  const SIZE corner = paintManager_.GetRoundCorner();
  if (skinui::IsMinimized(hwnd) || (corner.cx == 0 && corner.cy == 0)) return;
  RECT rect;
  skinui::GetWindowRect(hwnd, &rect);
  skinui::SetWindowRegion(
      hwnd,
      skinui::CreateRoundRectRegion(0, 0, skinui::RectWidth(rect) + 1, skinui::RectHeight(rect) + 1,
                                    corner.cx, corner.cy),
      true);
}

// Dragged by the skin's caption band, except over its buttons.
LRESULT UIRegisterWnd::OnNcHitTest(LPARAM lParam) {
  const HWND hwnd = GetHWND();
  POINT point{skinui::LParamX(lParam), skinui::LParamY(lParam)};
  skinui::ScreenToClient(hwnd, &point);
  RECT client;
  skinui::GetClientRect(hwnd, &client);
  const RECT caption = paintManager_.GetCaptionRect();
  if (point.x < client.left + caption.left || point.x >= client.right - caption.right ||
      point.y < caption.top || point.y >= caption.bottom)
    return HTCLIENT;
  CControlUI* control = paintManager_.FindControl(point);
  return control && control->GetClass() != "ButtonUI" ? HTCAPTION : HTCLIENT;
}

}  // namespace register_window
