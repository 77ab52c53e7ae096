// What every launcher window shares: the creation sequence (caption bits
// off, paint manager, skin, notifier, the window's own initialisation), the
// rounded region on WM_SIZE, dragging by the skin's caption band, the
// non-client answers that keep the system frame away, the maximised size
// and the swap of the "maxbtn"/"restorebtn" buttons.
//
// A subclass names its window class and skin, answers HandleMessage (usually
// its own handlers, then HandleCommonMessage, then DefaultPath) and does its
// own initialisation in InitWindow.
#pragma once

#include <initializer_list>
#include <vector>

#include "skinui/paint_manager.h"
#include "skinui/std_string.h"
#include "skinui/window_wnd.h"

// Creation parameters shared by every window but the frame: a captioned
// popup (the caption is removed on creation) sized by its skin.
inline constexpr DWORD kSkinnedPopupStyle = 0x96C80000u;
// Class styles: double clicks; and redraw on resize, double clicks, save bits.
inline constexpr UINT kFrameClassStyle = CS_DBLCLKS;
inline constexpr UINT kPopupClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;

// The skin file of a window for the frame's layout mode: 1 picks the _720
// file, 2 the _600 file, anything else the plain one.
const char* SkinForLayout(int layoutMode, const char* plain, const char* file720,
                          const char* file600);

class SkinnedWindow : public CWindowWnd, public INotifyUI, public IMessageFilterUI {
 public:
  // The window's own paint manager (controls, caption band, round corner).
  CPaintManagerUI paintManager;

  // The shared message filter: handles nothing.
  LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

  // Caption hit test for a point in screen coordinates (lParam packed as in
  // WM_NCHITTEST): HTCAPTION inside the skin's caption band over a control
  // whose class is none of the window's client classes, else HTCLIENT.
  LRESULT OnNcHitTest(LPARAM lParam);

 protected:
  // `clientClasses`: control classes in the caption band that stay client
  // area; `usesMessageFilter`: whether OnCreate registers the filter.
  SkinnedWindow(std::initializer_list<const char*> clientClasses, bool usesMessageFilter);

  virtual CStdString SkinFile() const = 0;
  // The window's own initialisation, last step of OnCreate.
  virtual void InitWindow() {}

  // WM_CREATE: always 0.
  LRESULT OnCreate();
  // WM_SIZE: the rounded region from the skin's round corner (never for a
  // minimised window or a 0x0 corner). The message stays unhandled.
  void OnSize();
  // WM_NCACTIVATE: answered (1 for wParam 0, else 0) unless minimised.
  bool OnNcActivate(WPARAM wParam, LRESULT& result);
  // WM_GETMINMAXINFO: maximised size = the monitor's work area, at (0, 0).
  void OnGetMinMaxInfo(LPARAM lParam);
  // WM_SYSCOMMAND by the default processing, then "maxbtn"/"restorebtn"
  // swapped when the maximised state changed.
  LRESULT SysCommandWithMaxRestore(WPARAM wParam, LPARAM lParam);

  // The handlers every window shares: WM_CREATE, WM_SIZE (then unhandled),
  // WM_NCCALCSIZE, WM_NCHITTEST, WM_NCPAINT, WM_NCACTIVATE. A window with
  // its own answer to one of these handles it first. False when the message
  // is left unhandled.
  bool HandleCommonMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // The paint manager's handling, else the default processing.
  LRESULT DefaultPath(UINT uMsg, WPARAM wParam, LPARAM lParam);

  // The control named `name` of this window, nullptr when the skin has none.
  CControlUI* Find(const char* name) const;

 private:
  std::vector<CStdString> clientClasses_;
  bool usesMessageFilter_;
};
