#include "launcher/windows/skinned_window.h"

#include "skinui/dialog_builder.h"
#include "skinui/window_system.h"

namespace {

// Style bits of the creation sequence: no caption, clip siblings and children.
constexpr DWORD kWithoutCaptionMask = 0xFF3FFFFFu;
constexpr DWORD kClipBits = WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

}  // namespace

const char* SkinForLayout(int layoutMode, const char* plain, const char* file720,
                          const char* file600) {
  if (layoutMode == 1) return file720;
  if (layoutMode == 2) return file600;
  return plain;
}

SkinnedWindow::SkinnedWindow(std::initializer_list<const char*> clientClasses,
                             bool usesMessageFilter)
    : usesMessageFilter_(usesMessageFilter) {
  for (const char* name : clientClasses) clientClasses_.emplace_back(name);
}

LRESULT SkinnedWindow::MessageHandler(UINT, WPARAM, LPARAM, bool&) { return 0; }

LRESULT SkinnedWindow::OnCreate() {
  const HWND hwnd = GetHWND();
  skinui::SetWindowStyle(hwnd, (skinui::GetWindowStyle(hwnd) & kWithoutCaptionMask) | kClipBits);
  paintManager.Init(hwnd);
  if (usesMessageFilter_) paintManager.AddPreMessageFilter(this);
  {
    CDialogBuilder builder;
    CControlUI* root = builder.Create(SkinFile(), nullptr, nullptr, &paintManager, nullptr);
    // A skin that cannot be built leaves the window without controls.
    paintManager.AttachDialog(root);
  }
  paintManager.AddNotifier(this);
  InitWindow();
  return 0;
}

void SkinnedWindow::OnSize() {
  const HWND hwnd = GetHWND();
  const SIZE corner = paintManager.GetRoundCorner();
  if (skinui::IsMinimized(hwnd) || (corner.cx == 0 && corner.cy == 0)) return;
  RECT rect;
  skinui::GetWindowRect(hwnd, &rect);
  const int width = skinui::RectWidth(rect);
  const int height = skinui::RectHeight(rect);
  skinui::SetWindowRegion(
      hwnd, skinui::CreateRoundRectRegion(0, 0, width + 1, height + 1, corner.cx, corner.cy), true);
}

LRESULT SkinnedWindow::OnNcHitTest(LPARAM lParam) {
  const HWND hwnd = GetHWND();
  POINT point{skinui::LParamX(lParam), skinui::LParamY(lParam)};
  skinui::ScreenToClient(hwnd, &point);
  RECT client;
  skinui::GetClientRect(hwnd, &client);
  const RECT caption = paintManager.GetCaptionRect();
  const bool inBand = point.x >= client.left + caption.left &&
                      point.x < client.right - caption.right && point.y >= caption.top &&
                      point.y < caption.bottom;
  if (!inBand) return HTCLIENT;
  CControlUI* control = paintManager.FindControl(point);
  if (!control) return HTCLIENT;
  const CStdString className = control->GetClass();
  for (const CStdString& clientClass : clientClasses_) {
    if (className == clientClass) return HTCLIENT;
  }
  return HTCAPTION;
}

bool SkinnedWindow::OnNcActivate(WPARAM wParam, LRESULT& result) {
  if (skinui::IsMinimized(GetHWND())) return false;
  result = wParam == 0 ? 1 : 0;
  return true;
}

void SkinnedWindow::OnGetMinMaxInfo(LPARAM lParam) {
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  if (!info) return;
  const RECT work = skinui::GetMonitorWorkArea(GetHWND());
  info->ptMaxPosition = POINT{0, 0};
  info->ptMaxSize = POINT{skinui::RectWidth(work), skinui::RectHeight(work)};
}

LRESULT SkinnedWindow::SysCommandWithMaxRestore(WPARAM wParam, LPARAM lParam) {
  const HWND hwnd = GetHWND();
  const bool wasZoomed = skinui::IsMaximized(hwnd);
  const LRESULT result = CWindowWnd::HandleMessage(WM_SYSCOMMAND, wParam, lParam);
  if (!skinui::IsWindow(hwnd) || skinui::IsMaximized(hwnd) == wasZoomed) return result;
  CControlUI* maxButton = Find("maxbtn");
  CControlUI* restoreButton = Find("restorebtn");
  if (maxButton) maxButton->SetVisible(wasZoomed);
  if (restoreButton) restoreButton->SetVisible(!wasZoomed);
  return result;
}

bool SkinnedWindow::HandleCommonMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (uMsg) {
    case WM_CREATE:
      result = OnCreate();
      return true;
    case WM_SIZE:
      OnSize();
      return false;
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
      result = 0;
      return true;
    case WM_NCHITTEST:
      result = OnNcHitTest(lParam);
      return true;
    case WM_NCACTIVATE:
      return OnNcActivate(wParam, result);
    default:
      return false;
  }
}

LRESULT SkinnedWindow::DefaultPath(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (paintManager.MessageHandler(uMsg, wParam, lParam, result)) return result;
  return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

CControlUI* SkinnedWindow::Find(const char* name) const { return paintManager.FindControl(name); }
