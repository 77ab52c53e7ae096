// CWindowWnd: the base of every window class. A subclass names its window
// class, handles messages in HandleMessage (passing what it does not handle
// to CWindowWnd::HandleMessage, the default processing) and may act in
// OnFinalMessage, which runs after the window has received its last message
// (WM_NCDESTROY) - it may delete the object.
//
// Deleting the object while its window lives detaches the window: it keeps
// existing with default processing only, so no message reaches a deleted
// object.
#pragma once

#include "skinui/std_string.h"
#include "skinui/thread_checker.h"
#include "skinui/win_types.h"

class CWindowWnd {
 public:
  CWindowWnd();
  virtual ~CWindowWnd();
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;

  HWND GetHWND() const;

  // Makes the window; WM_CREATE runs inside this call (see
  // skinui::CreateWindowHandle). Answers the handle, nullptr when WM_CREATE
  // answered -1. A second Create while a window exists answers nullptr.
  // The model has no extended styles: `exStyle` is accepted and not kept.
  HWND Create(HWND owner, const char* name, DWORD style, DWORD exStyle, int x = 0, int y = 0,
              int cx = 0, int cy = 0);

  // Centres the window over its owner's rectangle, or over the work area
  // when it has no (visible) owner; kept inside the work area, and when it
  // is larger than that, with its top-right corner on it.
  void CenterWindow();
  // Shows or hides (take focus is recorded only).
  void ShowWindow(bool show = true, bool takeFocus = true);
  // Shows the window, disables its owner and runs a nested message loop until
  // the window is gone, keeping the window above the others meanwhile
  // (skinui::SetWindowModal); then enables the owner again. Answers the value
  // given to Close (0 when the window went otherwise); -1 when there is no
  // window. A WM_QUIT met meanwhile ends the nested loop and is kept for the
  // outer loop.
  UINT ShowModal();
  // Posts WM_CLOSE (with `result` for ShowModal) to the window.
  void Close(UINT result = 0);
  // Sets the client size (the windows have no frame: the window size).
  void ResizeClient(int cx = -1, int cy = -1);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  // Delivers a message to HandleMessage (used by the window model).
  LRESULT DispatchMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  virtual const char* GetWindowClassName() const = 0;
  // The model has no class styles either: a window may name its own, but
  // nothing asks for it.
  virtual UINT GetClassStyle() const;
  // Default processing (skinui::DefaultWindowProcedure).
  virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
  // After the last message; the handle is already null.
  virtual void OnFinalMessage(HWND hwnd);

  // The thread the object was made on, the UI thread; subclasses check
  // their own operations against it too.
  SKINUI_THREAD_CHECKER(windowThread_);

 private:
  HWND hwnd_ = nullptr;
};
