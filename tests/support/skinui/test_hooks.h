// Injection of user input for tests: what a player's clicks, drags and system
// menu would do, taken through the same paths as real input. Every function
// runs on the calling thread, which must be the test's UI thread.
#pragma once

#include "skinui/control.h"
#include "skinui/paint_manager.h"
#include "skinui/win_types.h"

namespace skinui::test {

// Clicks the named control of `manager`'s window as a real click would: it
// must exist, be visible and enabled; buttons send "click" to the notifiers,
// options send "click" and then change their selection. False when the
// control is missing, hidden or disabled.
bool ClickControl(CPaintManagerUI& manager, const char* name);
bool ClickControl(CControlUI* control);

// Presses the item at `index` of the list named `listName` with the left
// button: its event source is called with a TEventUI of type 13
// (UIEVENT_BUTTONDOWN), then "itemclick" and "itemselect" are sent. False when
// there is no such list or item.
bool PressListItem(CPaintManagerUI& manager, const char* listName, int index);
bool PressControl(CControlUI* control);

// A mouse button press and release at `clientPoint` of the window
// (WM_LBUTTONDOWN / WM_LBUTTONUP through SendMessage; moves the cursor).
void ClickAt(HWND hwnd, POINT clientPoint);

// WM_MOUSEACTIVATE as the system sends it when the window is clicked; the
// cursor is moved to `screenPoint` first. Answers the window's result.
LRESULT MouseActivate(HWND hwnd, POINT screenPoint);

// WM_NCHITTEST for a point in screen coordinates; answers the hit code.
LRESULT NcHitTest(HWND hwnd, POINT screenPoint);

// Moves the window to (x, y), as a drag by its caption would; the window
// receives WM_MOVE.
void DragWindowTo(HWND hwnd, int x, int y);

// WM_SYSCOMMAND with `command` (e.g. SC_MINIMIZE), lParam 0.
LRESULT SystemCommand(HWND hwnd, WPARAM command);

// Position of the window in the stacking order, 0 = top; -1 for no window.
int ZOrderIndex(HWND hwnd);

}  // namespace skinui::test
