// The toolkit half of the drawing backend: one borderless native top-level
// window per model window, kept in step with the model by Sync, painted
// from the skin, and turning the player's input into window messages that
// the skinui message loop handles. UI thread only, except Wake.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <vector>

#include "skinui/native_backend.h"
#include "skinui/win_types.h"

class wxWindow;

namespace skinui {

class ScreenBackend final : public NativeBackend {
 public:
  ScreenBackend();
  ~ScreenBackend() override;

  void WaitForWork(const std::function<bool()>& ready) override;
  void Wake() override;
  void Sync() override;

  // Closes every native window (end of the session).
  void DestroyAll();

  // Message boxes. The main window is the one at the root of the owner
  // chain of the topmost shown window (nullptr when none is shown): boxes
  // are centred on it. A box that is open is kept above every window of
  // the launcher, also above those shown after it.
  HWND MainWindow();
  wxWindow* NativeWindow(HWND hwnd);
  void AddBox(wxWindow* box);
  void RemoveBox(wxWindow* box);

  // The caption move, which the launcher runs itself: a press answered
  // with HTCAPTION starts it (BeginMove, a skinui task), the pointer's
  // moves while the button is held move the window in the model (and the
  // frame's children with it), the release ends it. The window manager is
  // never asked to move a window, so every window of the launcher keeps
  // its place against the others throughout.
  void ButtonPressed();
  void BeginMove(HWND hwnd, POINT screen);
  // Toolkit callbacks; true while a move runs (the motion is then no
  // mouse move of the window's controls).
  bool PointerMoved(POINT root);
  void ButtonReleased(POINT root);

  // Web views are made only after the first paint: the browser's start
  // would otherwise keep every window blank. A window has been painted:
  // once the toolkit has nothing else to do, StartWebViews is posted.
  void WindowPainted(HWND hwnd);
  // Loads the browser; the next Sync makes the views that are due.
  void StartWebViews();

  struct Native;

 private:
  void Reconcile();
  void Restack();
  void RaiseBoxes();
  void Show(Native& native);
  void SyncBrowsers(Native& native);
  void ApplyMove();
  static int CheckPlaces(void*);         // GSourceFunc
  static int FirstPaintWaitOver(void*);  // GSourceFunc
  static int ToolkitIdle(void*);         // GSourceFunc
  static int WebViewsDeadline(void*);    // GSourceFunc

  std::map<HWND, std::unique_ptr<Native>> natives_;
  std::atomic<bool> woken_{false};
  unsigned long generation_ = ~0ul;
  std::vector<HWND> stackingOrder_;  // the model's order at the last restack
  std::vector<wxWindow*> boxes_;     // open message boxes, oldest first
  // No window shown yet; the first one shown waits for its paint; done.
  enum class FirstPaint { NotYet, Due, Over } firstPaint_ = FirstPaint::NotYet;
  unsigned int firstPaintSource_ = 0;  // the bound of that wait, while pending
  bool webViewsAsked_ = false;
  bool webViewsReady_ = false;
  bool browsersDue_ = false;
  unsigned int idleSource_ = 0;      // the toolkit's idle callback, while pending
  unsigned int deadlineSource_ = 0;  // web views at the latest, without a paint
  // The caption move (toolkit callbacks and skinui tasks, both on the UI
  // thread).
  bool buttonHeld_ = false;
  HWND moving_ = nullptr;
  POINT movePress_{};
  POINT moveOrigin_{};
  POINT movePointer_{};  // where the button was released
  bool moveQueued_ = false;
  unsigned int placeCheckSource_ = 0;
  int placeChecks_ = 0;
};

// The backend of the running session, nullptr when none.
ScreenBackend* TheScreenBackend();
void SetScreenBackend(ScreenBackend* backend);

}  // namespace skinui
