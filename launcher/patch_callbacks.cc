#include "launcher/patch_callbacks.h"

#include <wx/string.h>

#include "launcher/launcher_frame_wnd.h"
#include "launcher/live_patch_holder.h"
#include "launcher/my_thread.h"
#include "launcher/update_display.h"
#include "launcher/version_config.h"

namespace {

constexpr float kUpdateDonePercent = 100.0f;
constexpr double kLargestPercent = 1000000.0;

// Handles one update package (".upd" or, with `isTre`, ".tre") that the
// library has stored and verified.
//
// NOT YET BUILT: unpacking the package beside itself, installing the
// unpacked files (stopping a running game first), the self-update hand-over
// for packages that carry launcherupdate.exe, and deleting a ".upd"
// package's directory afterwards. Until that lands a fetched package is left
// where the library stored it and nothing is installed.
void HandleFetchedPackage(LauncherFrameWnd& /*frame*/, const wxString& /*path*/,
                          bool /*isTre*/) {}

// Starts the self-update program of an earlier package once its version
// step is done.
//
// NOT YET BUILT together with the package handling above: nothing ever
// records a pending self-update until then.
void StartPendingLauncherUpdate(LauncherFrameWnd& /*frame*/) {}

void OnFetchedFile(LauncherFrameWnd& frame, const wxString& path) {
  // Package types are told apart by their exact, case-sensitive suffix.
  const bool isUpd = path.EndsWith(".upd");
  const bool isTre = !isUpd && path.EndsWith(".tre");
  frame.installTotalBytes = 0;
  frame.installDoneBytes = 0;
  if (isUpd || isTre) HandleFetchedPackage(frame, path, isTre);
}

// One version step is done: keep the version reached, on disk and on screen.
void OnVersionStepDone(LauncherFrameWnd* frame, LivePatchHolder& holder, bool launcherSet) {
  // Ask the library before taking the settings lock: the holder's lock
  // always comes first.
  const wxString reached =
      launcherSet ? holder.GetLauncherVersion() : holder.GetCurrentVersion();
  auto& versions = VersionConfig();
  {
    auto lock = versions.Lock();
    (launcherSet ? versions.LVersion : versions.Version) = reached.Clone();
  }
  if (frame) ShowInstalledVersion(*frame, reached);
  versions.Save();
  if (frame) StartPendingLauncherUpdate(*frame);
}

void OnUpdateDone(LauncherFrameWnd* frame) {
  if (!frame) return;
  frame->updateNeeded = false;
  ShowUpdateProgress(*frame, kUpdateDonePercent);
  wxString installed;
  {
    auto& versions = VersionConfig();
    auto lock = versions.Lock();
    installed = versions.Version.Clone();
  }
  ShowInstalledVersion(*frame, installed);
  ApplyEnterGameRule(*frame);
}

}  // namespace

void OnPatchStatus(const wchar_t* filePath, int32_t /*done*/, int32_t /*total*/, bool finished,
                   void* user, bool launcherSet, bool /*flag*/) {
  if (!user) return;
  LauncherFrameWnd* frame = g_pFrame.load();
  if (filePath) {
    // The library reuses its buffer for the next file: copy the path now.
    if (frame) OnFetchedFile(*frame, wxString(filePath));
  } else if (!finished) {
    OnVersionStepDone(frame, *static_cast<LivePatchHolder*>(user), launcherSet);
  } else {
    OnUpdateDone(frame);
  }
}

int OnPatchProgress(void* /*clientData*/, double downloadTotal, double downloaded,
                    double /*uploadTotal*/, double /*uploaded*/) {
  if (WorkerStopRequested()) return 1;
  // A total that is 0, negative or not a number leaves the display alone.
  if (downloadTotal > 0) {
    double share = downloaded / downloadTotal * 100.0;
    // A nonsense count from the transfer must not overflow the conversion.
    if (!(share >= 0.0)) share = 0.0;
    if (share > kLargestPercent) share = kLargestPercent;
    const int percent = static_cast<int>(share);
    if (LauncherFrameWnd* frame = g_pFrame.load()) {
      ShowUpdateProgress(*frame, static_cast<float>(percent));
    }
  }
  return 0;
}
