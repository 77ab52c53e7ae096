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
  // The native window of the topmost visible model window, for boxes that
  // must sit over the launcher; nullptr when none.
  wxWindow* TopNativeWindow();
  // Lets the window manager move the window of `hwnd` with the mouse (the
  // press was answered with HTCAPTION).
  void BeginMove(HWND hwnd, POINT screen, unsigned int time);

  // Web views are made only after the first paint: the browser's start
  // would otherwise keep every window blank. A window has been painted:
  // once the toolkit has nothing else to do, StartWebViews is posted.
  void WindowPainted();
  // Loads the browser; the next Sync makes the views that are due.
  void StartWebViews();

  struct Native;

 private:
  void Reconcile();
  void Restack();
  void SyncBrowsers(Native& native);
  static int FirstPaintWaitOver(void*);  // GSourceFunc
  static int ToolkitIdle(void*);         // GSourceFunc
  static int WebViewsDeadline(void*);    // GSourceFunc

  std::map<HWND, std::unique_ptr<Native>> natives_;
  std::atomic<bool> woken_{false};
  unsigned long generation_ = ~0ul;
  std::vector<HWND> stackingOrder_;  // the model's order at the last restack
  // No window shown yet; the first one shown waits for its paint; done.
  enum class FirstPaint { NotYet, Due, Over } firstPaint_ = FirstPaint::NotYet;
  unsigned int firstPaintSource_ = 0;  // the bound of that wait, while pending
  bool webViewsAsked_ = false;
  bool webViewsReady_ = false;
  bool browsersDue_ = false;
  unsigned int idleSource_ = 0;      // the toolkit's idle callback, while pending
  unsigned int deadlineSource_ = 0;  // web views at the latest, without a paint
};

// The backend of the running session, nullptr when none.
ScreenBackend* TheScreenBackend();
void SetScreenBackend(ScreenBackend* backend);

}  // namespace skinui
