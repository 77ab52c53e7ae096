#include "launcher/update/update_display.h"

#include <atomic>
#include <memory>

#include "launcher/serverlist/chosen_server.h"
#include "launcher/system/my_thread.h"
#include "launcher/windows/child_window_host.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/control.h"
#include "skinui/progress.h"

namespace {

constexpr int kCheckFinishedValue = 100;

// The newest percentage of the one update road, and whether a change that
// shows it waits in the UI thread's queue.
struct PendingProgress {
  std::atomic<float> percent{0.0f};
  std::atomic<bool> queued{false};
};

PendingProgress& Pending() {
  // Never destroyed: a queued change may be dropped while the process ends.
  static auto* pending = new PendingProgress;
  return *pending;
}

// Clears `queued` when the last copy of the change goes, whether it ran or
// was dropped (its frame gone, the queue emptied at shut-down), so that the
// next percentage is handed over again.
std::shared_ptr<void> ClearQueuedWhenGone() {
  return std::shared_ptr<void>(nullptr, [](void*) { Pending().queued = false; });
}

}  // namespace

void ShowEnterGameEnabled(ChildWindowHost& frame, bool enabled) {
  if (WorkerStopRequested()) return;
  frame.PostToWindows([&frame, enabled] { frame.SetEnterGameEnabled(enabled); });
}

void ApplyEnterGameRule(ChildWindowHost& frame) {
  if (WorkerStopRequested()) return;
  frame.PostToWindows([&frame] { frame.SetEnterGameEnabled(GetChosenServer().IsComplete()); });
}

void ShowVersionCheckFinished(ChildWindowHost& frame) {
  if (WorkerStopRequested()) return;
  frame.PostToWindows([&frame] {
    UIUpdateWnd* panel = frame.updateWnd;
    if (!panel) return;
    if (panel->progressCtrl) panel->progressCtrl->SetValue(kCheckFinishedValue);
    panel->MoveProgressImg(1.0f);
  });
}

void ShowUpdateProgress(ChildWindowHost& frame, float percent) {
  if (WorkerStopRequested()) return;
  PendingProgress& pending = Pending();
  pending.percent = percent;
  if (pending.queued.exchange(true)) return;
  frame.PostToWindows([&frame, clear = ClearQueuedWhenGone()] {
    // From here on a new percentage needs a change of its own.
    Pending().queued = false;
    if (frame.updateWnd) frame.updateWnd->SetProgress(Pending().percent);
  });
}

void ShowInstalledVersion(ChildWindowHost& frame, const wxString& version) {
  if (WorkerStopRequested()) return;
  // A copy of its own: wxString shares its buffer between copies.
  frame.PostToWindows([&frame, text = version.utf8_string()] {
    UIUpdateWnd* panel = frame.updateWnd;
    if (panel && panel->curVersionTxt) panel->curVersionTxt->SetText(text);
  });
}
