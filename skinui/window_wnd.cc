#include "skinui/window_wnd.h"

#include <algorithm>
#include <map>

#include "skinui/thread_checker.h"
#include "skinui/window_system.h"

namespace {

// The value given to Close, by window: the object that receives WM_CLOSE may
// be gone by the time ShowModal returns. UI thread only.
std::map<HWND, UINT>& ModalResults() {
  static auto* results = new std::map<HWND, UINT>;
  return *results;
}

void RecordModalResult(HWND hwnd, UINT result) { ModalResults()[hwnd] = result; }

UINT LastModalResult(HWND hwnd) {
  auto& results = ModalResults();
  auto it = results.find(hwnd);
  if (it == results.end()) return 0;
  const UINT result = it->second;
  results.erase(it);
  return result;
}

}  // namespace

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  if (hwnd_) skinui::DetachWindowProcedure(hwnd_);
  hwnd_ = nullptr;
}

HWND CWindowWnd::GetHWND() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  return hwnd_;
}

HWND CWindowWnd::Create(HWND owner, const char* name, DWORD style, DWORD, int x, int y, int cx,
                        int cy) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  if (hwnd_) return nullptr;
  skinui::WindowCreateParams params;
  params.owner = owner;
  params.className = GetWindowClassName() ? GetWindowClassName() : "";
  params.text = name ? name : "";
  params.style = style;
  params.x = x;
  params.y = y;
  params.cx = cx;
  params.cy = cy;
  return skinui::CreateWindowHandle(params, this);
}

void CWindowWnd::CenterWindow() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  if (!hwnd_) return;
  RECT own;
  skinui::GetWindowRect(hwnd_, &own);
  const RECT work = skinui::GetMonitorWorkArea(hwnd_);
  RECT around = work;
  const HWND owner = skinui::GetOwner(hwnd_);
  if (owner && skinui::IsWindowVisible(owner) && !skinui::IsMinimized(owner)) {
    skinui::GetWindowRect(owner, &around);
  }
  const int width = skinui::RectWidth(own);
  const int height = skinui::RectHeight(own);
  int x = (around.left + around.right) / 2 - width / 2;
  int y = (around.top + around.bottom) / 2 - height / 2;
  // Keep it on the work area where it fits. One too large for it keeps its
  // top-right corner there: a skin's caption band runs along the top, with
  // the minimise and close buttons at its right end.
  x = width > skinui::RectWidth(work) ? work.right - width
                                      : std::max(work.left, std::min(x, work.right - width));
  y = height > skinui::RectHeight(work) ? work.top
                                        : std::max(work.top, std::min(y, work.bottom - height));
  skinui::SetWindowPosition(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  if (!hwnd_) return;
  skinui::ShowWindowCommand(hwnd_,
                            show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  const HWND hwnd = hwnd_;
  if (!hwnd) return static_cast<UINT>(-1);
  const HWND owner = skinui::GetOwner(hwnd);
  if (owner) skinui::EnableWindow(owner, false);
  skinui::SetWindowModal(hwnd, true);
  skinui::ShowWindowCommand(hwnd, SW_SHOWNORMAL);
  ModalResults().erase(hwnd);
  // `this` may be deleted by its final step, so the loop watches the handle.
  skinui::RunMessageLoop([hwnd] { return !skinui::IsWindow(hwnd); });
  skinui::SetWindowModal(hwnd, false);
  if (owner) skinui::EnableWindow(owner, true);
  return LastModalResult(hwnd);
}

void CWindowWnd::Close(UINT result) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  if (!hwnd_) return;
  skinui::PostMessage(hwnd_, WM_CLOSE, static_cast<WPARAM>(result), 0);
}

void CWindowWnd::ResizeClient(int cx, int cy) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  if (!hwnd_) return;
  RECT rect;
  skinui::GetWindowRect(hwnd_, &rect);
  if (cx < 0) cx = skinui::RectWidth(rect);
  if (cy < 0) cy = skinui::RectHeight(rect);
  skinui::SetWindowPosition(hwnd_, nullptr, 0, 0, cx, cy,
                            SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  return skinui::SendMessage(hwnd_, message, wParam, lParam);
}

LRESULT CWindowWnd::DispatchMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  if (message == WM_NCCREATE) hwnd_ = hwnd;
  if (message == WM_CLOSE) RecordModalResult(hwnd, static_cast<UINT>(wParam));
  if (message != WM_NCDESTROY) return HandleMessage(message, wParam, lParam);
  const LRESULT result = HandleMessage(message, wParam, lParam);
  hwnd_ = nullptr;
  OnFinalMessage(hwnd);  // may delete this
  return result;
}

UINT CWindowWnd::GetClassStyle() const { return 0; }

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return skinui::DefaultWindowProcedure(hwnd_, uMsg, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND) {}
