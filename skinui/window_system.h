// The headless window model: every window keeps its rectangle (screen
// coordinates), style bits, owner, visibility, minimised and maximised state,
// region, place in the stacking order and text. Nothing is drawn. Messages go
// to the window's procedure (a CWindowWnd) synchronously with SendMessage or
// through the process-wide queue with PostMessage; the queue is emptied by
// CPaintManagerUI::MessageLoop on the UI thread.
//
// A window has no frame: its client area is its whole rectangle, moved to the
// origin. Still, a window is sent WM_NCPAINT (wParam 1) whenever its frame
// would be painted: when it is created visible, shown while hidden (ShowWindow
// or SWP_SHOWWINDOW) and restored from minimised or maximised.
//
// The model belongs to the UI thread, which every function here checks in
// debug builds (thread_checker.h), but for the posting ones: PostMessage,
// PostQuitMessage and PostToUiThread may be called from any thread and never
// wait for the UI thread's work. Functions given a handle that names no live
// window do nothing and answer false, 0 or an empty rectangle.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "skinui/win_types.h"

class CWindowWnd;

namespace skinui {

// ---- Creation and destruction (used by CWindowWnd; tests may use them). ----

struct WindowCreateParams {
  HWND owner = nullptr;
  std::string className;
  std::string text;
  DWORD style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
};

// Makes a window whose messages go to `procedure` (may be null: default
// processing only), places it on top of the stacking order, sends WM_CREATE
// synchronously (after WM_NCCREATE, whose answer is ignored) and returns the
// handle. When WM_CREATE answers -1 the window
// is destroyed again and nullptr comes back. The procedure's HWND is bound
// before WM_CREATE is sent (CWindowWnd::GetHWND works inside OnCreate).
HWND CreateWindowHandle(const WindowCreateParams& params, CWindowWnd* procedure);

// Destroys the windows it owns first, then sends WM_DESTROY and WM_NCDESTROY
// to the window; the latter runs CWindowWnd's final step. The handle is dead
// afterwards. False when `hwnd` names no window.
bool DestroyWindow(HWND hwnd);

// Unbinds a window from its procedure object (the object is going away while
// its window lives on): later messages get default processing only.
void DetachWindowProcedure(HWND hwnd);

bool IsWindow(HWND hwnd);
HWND GetOwner(HWND hwnd);
std::string GetWindowClassName(HWND hwnd);
std::string GetWindowText(HWND hwnd);
// Every live window, top of the stacking order first.
std::vector<HWND> GetZOrder();

// ---- Styles ----

DWORD GetWindowStyle(HWND hwnd);
// Writes the style bits, answers the previous ones. Changing WS_VISIBLE here
// changes visibility as ShowWindow would.
DWORD SetWindowStyle(HWND hwnd, DWORD style);

// ---- Geometry ----

bool GetWindowRect(HWND hwnd, RECT* rect);
// (0, 0, width, height): the windows have no system frame.
bool GetClientRect(HWND hwnd, RECT* rect);
bool ScreenToClient(HWND hwnd, POINT* point);
bool ClientToScreen(HWND hwnd, POINT* point);
// Moves and/or resizes; sends WM_MOVE (lParam: new client origin) and
// WM_SIZE (wParam SIZE_RESTORED, lParam: client width, height) when changed.
bool MoveWindow(HWND hwnd, int x, int y, int cx, int cy);
// SetWindowPos: `insertAfter` HWND_TOP (nullptr) raises the window unless
// SWP_NOZORDER; SWP_NOMOVE / SWP_NOSIZE keep position / size;
// SWP_SHOWWINDOW / SWP_HIDEWINDOW change visibility. Other flags are
// ignored.
bool SetWindowPosition(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);

// ---- State ----

// SW_HIDE hides; SW_SHOW... shows; SW_MINIMIZE/SW_SHOWMINIMIZED minimise,
// SW_SHOWMAXIMIZED maximises, SW_RESTORE restores. Answers whether the window
// was visible before.
bool ShowWindowCommand(HWND hwnd, int command);
bool IsWindowVisible(HWND hwnd);
bool IsMinimized(HWND hwnd);  // IsIconic
bool IsMaximized(HWND hwnd);  // IsZoomed
bool EnableWindow(HWND hwnd, bool enable);
bool IsWindowEnabled(HWND hwnd);
// Marks a window that runs modally (CWindowWnd::ShowModal): it stays above
// every other window but those it owns, also above windows made or raised
// while it runs.
void SetWindowModal(HWND hwnd, bool modal);

// ---- Regions ----

// A rounded-rectangle region in window coordinates: the rectangle from
// (left, top) to (right, bottom), corners cut by ellipses of the given size.
struct WindowRegion {
  RECT rect;
  int ellipseWidth = 0;
  int ellipseHeight = 0;
};
WindowRegion CreateRoundRectRegion(int left, int top, int right, int bottom, int ellipseWidth,
                                   int ellipseHeight);
// Hands the region to the window (nullopt removes it). `redraw` is recorded
// only.
bool SetWindowRegion(HWND hwnd, std::optional<WindowRegion> region, bool redraw);
std::optional<WindowRegion> GetWindowRegion(HWND hwnd);
// The region as rectangles, one per run of rows of equal width, clipped to a
// window of `width` x `height`: what a toolkit takes as a window shape.
std::vector<RECT> RegionRectangles(const WindowRegion& region, int width, int height);

// ---- Monitor and cursor ----

// The work area of the monitor that holds the window (there is one monitor):
// (0, 0, width, height) of platform::CurrentDesktop()'s display mode.
RECT GetMonitorWorkArea(HWND hwnd);
// The cursor position in screen coordinates; the model's mouse messages and
// the tests' input hooks move it.
POINT GetCursorPos();
void SetCursorPos(POINT point);

// ---- Repainting (kept only while a native backend is installed) ----

// Marks part of the window's client area (nullptr: all of it) for a repaint
// and wakes the backend.
void InvalidateRect(HWND hwnd, const RECT* rect);
// The parts marked since the last call (for the backend).
std::vector<RECT> TakeInvalidRects(HWND hwnd);

// ---- Messages ----

// Calls the window's procedure at once. 0 when the window does not exist.
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// Queues the message for the loop; a message for a window that is gone by then
// is dropped. A null hwnd queues a thread message. WM_QUIT, for a window or
// not, ends the loop.
// False when `hwnd` is not null and names no window.
bool PostMessage(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// Queues WM_QUIT with `exitCode`: the message loop ends when it reaches it.
void PostQuitMessage(int exitCode);
// Queues `task` for the UI thread's message loop: the one way a worker's
// change reaches the windows. Tasks and messages run in the order they were
// posted; the backend is woken at once, so a task runs as soon as the UI
// thread is between two messages. A task whose owner may go first is posted
// through a UiTaskRunner (ui_task_runner.h).
void PostToUiThread(std::function<void()> task);

// The default processing of a message (what CWindowWnd::HandleMessage does):
//   WM_CLOSE: destroys the window.          WM_NCHITTEST: HTCLIENT.
//   WM_SYSCOMMAND (wParam & 0xFFF0): SC_MINIMIZE minimises, SC_MAXIMIZE
//     maximises to the work area (asking WM_GETMINMAXINFO first),
//     SC_RESTORE restores, SC_CLOSE sends WM_CLOSE; each answers 0.
//   WM_MOUSEACTIVATE: MA_ACTIVATE.          WM_NCACTIVATE: 1.
//   WM_GETMINMAXINFO: leaves the record as it is, 0.
//   anything else: 0.
LRESULT DefaultWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---- The message loop ----

// Runs queued messages and tasks until WM_QUIT arrives and answers its exit
// code.
// `until`, when given, is checked before each wait and also ends the loop
// (answering -1); nested loops (modal windows) use it. A WM_QUIT met by a
// nested loop is queued again for the outer loop, and ends the nested one.
int RunMessageLoop(const std::function<bool()>& until = nullptr);
// Runs what is queued now without waiting; returns how many items ran. A
// WM_QUIT found is put back and stops the pumping. For tests.
int PumpPendingMessages();
// Drops everything queued (messages, tasks, WM_QUIT); answers how many. For
// tests that must start from an empty queue.
int DiscardPendingMessages();
// True while some thread is inside RunMessageLoop.
bool IsMessageLoopRunning();

}  // namespace skinui
