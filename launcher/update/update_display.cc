#include "launcher/update/update_display.h"

#include "launcher/serverlist/chosen_server.h"
#include "launcher/system/my_thread.h"
#include "launcher/windows/child_window_host.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/control.h"
#include "skinui/progress.h"
#include "skinui/ui_lock.h"

namespace {

constexpr int kCheckFinishedValue = 100;

}  // namespace

void ApplyEnterGameRule(ChildWindowHost& frame) {
  frame.SetEnterGameEnabled(GetChosenServer().IsComplete());
}

void ShowVersionCheckFinished(ChildWindowHost& frame) {
  if (WorkerStopRequested()) return;
  skinui::UiLockGuard guard;
  UIUpdateWnd* panel = frame.updateWnd;
  if (!panel) return;
  if (panel->progressCtrl) panel->progressCtrl->SetValue(kCheckFinishedValue);
  panel->MoveProgressImg(1.0f);
}

void ShowUpdateProgress(ChildWindowHost& frame, float percent) {
  if (WorkerStopRequested()) return;
  skinui::UiLockGuard guard;
  if (frame.updateWnd) frame.updateWnd->SetProgress(percent);
}

void ShowInstalledVersion(ChildWindowHost& frame, const wxString& version) {
  if (WorkerStopRequested()) return;
  skinui::UiLockGuard guard;
  UIUpdateWnd* panel = frame.updateWnd;
  if (panel && panel->curVersionTxt) panel->curVersionTxt->SetText(version.utf8_string());
}
