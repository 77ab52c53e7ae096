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

  struct Native;

 private:
  void Reconcile();
  void Restack();
  void SyncBrowsers(Native& native);

  std::map<HWND, std::unique_ptr<Native>> natives_;
  std::atomic<bool> woken_{false};
  unsigned long generation_ = ~0ul;
  std::vector<HWND> stackingOrder_;  // the model's order at the last restack
};

// The backend of the running session, nullptr when none.
ScreenBackend* TheScreenBackend();
void SetScreenBackend(ScreenBackend* backend);

}  // namespace skinui
