// CPaintManagerUI: one per window. It holds the window's control tree (built
// by CDialogBuilder and attached with AttachDialog), the skin's window
// attributes (initial size, caption band, round corner), the notifiers and
// the message filters, and lays the controls out when the window's size
// changes. Its static part holds the process-wide settings: program
// instance, instance path, resource path and resource archive, and the
// message loop.
//
// "windowinit": AttachDialog queues it; the message loop delivers it to the
// notifiers (sender: the root control) once, after the Create call that
// built the window has returned, provided the window still exists. A window
// created inside a message (a modal dialog) gets it from the running loop,
// the ShowModal loop included. Tests without a loop can deliver it with
// skinui::PumpPendingMessages().
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "skinui/control.h"
#include "skinui/std_string.h"
#include "skinui/thread_checker.h"
#include "skinui/win_types.h"

// A notification: its type text, the sending control and two parameters.
struct TNotifyUI {
  CStdString sType;
  CControlUI* pSender = nullptr;
  POINT ptMouse;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class INotifyUI {
 public:
  virtual void Notify(TNotifyUI& msg) = 0;

 protected:
  virtual ~INotifyUI() = default;
};

// Sees every message of the window before its controls do. Setting
// `bHandled` to true ends the handling with the returned result.
class IMessageFilterUI {
 public:
  virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;

 protected:
  virtual ~IMessageFilterUI() = default;
};

// A font of the skin (<Font id=... name=... size=... bold=...>).
struct SkinFont {
  int id = -1;
  std::string name;
  int size = 12;  // pixels
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool isDefault = false;
};

class CPaintManagerUI {
 public:
  CPaintManagerUI();
  // Deletes the control tree; detaches from the window (which lives on).
  ~CPaintManagerUI();
  CPaintManagerUI(const CPaintManagerUI&) = delete;
  CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

  // ---- Process-wide ----
  // The windows need no module handle: the call is kept for the launcher's
  // start-up and does nothing.
  static void SetInstance(HINSTANCE instance);
  // The program directory with a trailing "/": the directory of the running
  // executable unless SetInstancePath set another (tests; an empty path
  // restores the default, a path without trailing "/" gets one).
  static CStdString GetInstancePath();
  static void SetInstancePath(const CStdString& path);
  // Where skins are read from: the resource path (a trailing "/" is added
  // when missing) and, when set, the zip archive in it ("bt.dat"). An empty
  // zip name reads plain files from the resource path.
  static void SetResourcePath(const CStdString& path);
  static CStdString GetResourcePath();
  static void SetResourceZip(const CStdString& zipName);
  static CStdString GetResourceZip();
  // Runs the message loop until WM_QUIT and answers its exit code. While it
  // runs, platform::CurrentDesktop().PostQuit(code) posts WM_QUIT into it.
  static int MessageLoop();

  // ---- Per window ----
  void Init(HWND hwnd);
  // The manager that Init bound to `hwnd`, nullptr when none (UI thread).
  static CPaintManagerUI* FromWindow(HWND hwnd);
  HWND GetPaintWindow() const;

  // Takes ownership of `root` (replacing and deleting a previous tree),
  // applies the skin's initial size to the window, lays the tree out and
  // queues "windowinit". A null root (a skin that could not be built) leaves
  // the window without controls, still queues "windowinit" and answers false.
  bool AttachDialog(CControlUI* root);
  CControlUI* GetRoot() const;

  bool AddNotifier(INotifyUI* notifier);  // false when already added
  bool AddPreMessageFilter(IMessageFilterUI* filter);
  bool RemovePreMessageFilter(IMessageFilterUI* filter);

  // The control named `name` (first in tree order); nullptr when absent.
  CControlUI* FindControl(const char* name) const;
  // The topmost visible control at `point` (client coordinates); nullptr
  // when none.
  CControlUI* FindControl(POINT point) const;

  // Sends a notification to every notifier, synchronously, in the order they
  // were added.
  void SendNotify(CControlUI* sender, const char* type, WPARAM wParam = 0, LPARAM lParam = 0);

  // The window's message handling before default processing: the message
  // filters first, then WM_SIZE (lays the controls out), mouse messages
  // (WM_LBUTTONDOWN / WM_LBUTTONDBLCLK / WM_LBUTTONUP make presses and
  // clicks, WM_MOUSEMOVE / WM_MOUSELEAVE the hover look, WM_MOUSEWHEEL
  // scrolls the list under the mouse), WM_NCDESTROY (forgets the window).
  // True when handled, with the result in `result`.
  bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // From the skin's Window element (or set by code): "size", "caption"
  // (left, right: insets from the client's edges; top, bottom: client y),
  // "roundcorner".
  SIZE GetInitSize() const;
  void SetInitSize(int cx, int cy);
  RECT GetCaptionRect() const;
  void SetCaptionRect(RECT rect);
  SIZE GetRoundCorner() const;
  void SetRoundCorner(int cx, int cy);

  // Lays the tree out in the client rectangle now.
  void Relayout();

  // ---- Looks, for the drawing backend ----
  // Attributes of the skin's Window element as written ("bkcolor", ...).
  void KeepWindowAttribute(const char* name, const char* value);
  CStdString GetWindowAttribute(const char* name) const;
  // The skin's fonts; GetFont(-1) or an unknown id answers the default font
  // (the one marked default, else the first, else a 12-pixel font).
  void AddFont(const SkinFont& font);
  SkinFont GetFont(int id) const;
  // The control under the mouse and the one held pressed; compare only, a
  // pointer may name a control that is gone.
  const CControlUI* GetHotControl() const;
  const CControlUI* GetPressedControl() const;

 private:
  friend class CControlUI;
  void DeliverWindowInit();

  HWND hwnd_ = nullptr;
  CControlUI* root_ = nullptr;
  CControlUI* pressed_ = nullptr;  // compared only, never dereferenced
  RECT pressedRect_;
  CControlUI* hot_ = nullptr;  // compared only, never dereferenced
  RECT hotRect_;
  std::vector<std::pair<std::string, std::string>> windowAttributes_;
  std::vector<SkinFont> fonts_;
  void SetHot(CControlUI* control);
  void SetPressed(CControlUI* control);
  std::vector<INotifyUI*> notifiers_;
  std::vector<IMessageFilterUI*> preFilters_;
  SIZE initSize_;
  RECT caption_;
  SIZE roundCorner_;
  bool windowInitQueued_ = false;
  bool windowInitSent_ = false;
  // Shared with queued tasks so that a task outliving the manager does nothing.
  std::shared_ptr<bool> alive_;
  SKINUI_THREAD_CHECKER(threadChecker_);
};
