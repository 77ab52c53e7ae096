#include "tests/support/skinui/test_hooks.h"

#include <algorithm>
#include <vector>

#include "skinui/list.h"
#include "skinui/window_system.h"

namespace skinui::test {

bool ClickControl(CPaintManagerUI& manager, const char* name) {
  return ClickControl(manager.FindControl(name));
}

bool ClickControl(CControlUI* control) {
  if (!control || !control->IsVisible() || !control->IsEnabled()) return false;
  return control->Activate();
}

bool PressListItem(CPaintManagerUI& manager, const char* listName, int index) {
  CControlUI* found = manager.FindControl(listName);
  auto* list = found ? static_cast<CListUI*>(found->GetInterface("List")) : nullptr;
  if (!list) return false;
  return PressControl(list->GetItemAt(index));
}

bool PressControl(CControlUI* control) {
  if (!control) return false;
  TEventUI event;
  event.Type = UIEVENT_BUTTONDOWN;
  event.pSender = control;
  const RECT pos = control->GetPos();
  event.ptMouse = POINT{(pos.left + pos.right) / 2, (pos.top + pos.bottom) / 2};
  control->Event(event);
  return true;
}

void ClickAt(HWND hwnd, POINT clientPoint) {
  POINT screen = clientPoint;
  ClientToScreen(hwnd, &screen);
  SetCursorPos(screen);
  const LPARAM lParam = MakeLParam(clientPoint.x, clientPoint.y);
  SendMessage(hwnd, WM_LBUTTONDOWN, 0, lParam);
  SendMessage(hwnd, WM_LBUTTONUP, 0, lParam);
}

LRESULT MouseActivate(HWND hwnd, POINT screenPoint) {
  SetCursorPos(screenPoint);
  return SendMessage(hwnd, WM_MOUSEACTIVATE, 0, MakeLParam(HTCLIENT, WM_LBUTTONDOWN));
}

LRESULT NcHitTest(HWND hwnd, POINT screenPoint) {
  return SendMessage(hwnd, WM_NCHITTEST, 0, MakeLParam(screenPoint.x, screenPoint.y));
}

void DragWindowTo(HWND hwnd, int x, int y) {
  SetWindowPosition(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

LRESULT SystemCommand(HWND hwnd, WPARAM command) {
  return SendMessage(hwnd, WM_SYSCOMMAND, command, 0);
}

int ZOrderIndex(HWND hwnd) {
  const std::vector<HWND> order = GetZOrder();
  auto it = std::find(order.begin(), order.end(), hwnd);
  return it == order.end() ? -1 : static_cast<int>(it - order.begin());
}

}  // namespace skinui::test
