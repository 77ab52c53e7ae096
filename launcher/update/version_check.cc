#include "launcher/update/version_check.h"

#include <wx/dir.h>

#include "launcher/config/version_config.h"
#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/packages/applied_packages.h"
#include "launcher/packages/delete_directory.h"
#include "launcher/system/run_log.h"
#include "launcher/update/live_patch_holder.h"
#include "launcher/update/patch_callbacks.h"
#include "launcher/update/road_phase.h"

namespace {

// The installed versions, copied under the settings lock.
struct InstalledVersions {
  wxString game;
  wxString launcher;
};

InstalledVersions ReadInstalledVersions() {
  auto& versions = VersionConfig();
  auto lock = versions.Lock();
  return {versions.Version.Clone(), versions.LVersion.Clone()};
}

// A directory left by an earlier run goes, whatever it holds; a failure to
// delete it does not stop the check.
void DeleteIfDirectory(const wxString& path) {
  if (wxDir::Exists(path)) DeleteDirectory(path);
}

}  // namespace

platform::Status CheckUpdateVersion(RoadPhase* phase) {
  LauncherFrameWnd& frame = *g_pFrame.load();

  DeleteIfDirectory(frame.programDir + "temp");

  LivePatchHolder& holder = TheLivePatchHolder();
  frame.livePatch = &holder;

  const InstalledVersions installed = ReadInstalledVersions();
  std::lock_guard<std::recursive_mutex> lock(holder.mutex);

  const platform::Status loaded = LoadLivePatchFrom(holder, frame.programDir);
  if (loaded) {
    // The library repeats its failed transfers only after the road's pause,
    // and transfers with the road's routine.
    holder.patch->retryPause = phase ? &RoadPhase::PauseBeforeRetry : nullptr;
    holder.patch->retryPauseContext = phase;
    holder.patch->transfer = phase ? phase->environment().Transfer() : nullptr;
    // The first URL is tried even when it is empty.
    if (!holder.LoadManifest(frame.updateVersionUrl1, installed.game)) {
      const wxString firstCause = holder.FailureCause();
      if (frame.updateVersionUrl2.empty()) {
        RUNLOG_ERROR(frame.logTarget, 1600,
                     "can not connect update server! may be update server not open! ");
        RUNLOG_CAUSE(frame.logTarget, 1600, firstCause);
        return platform::Error{firstCause.utf8_string()};
      }
      if (!holder.LoadManifest(frame.updateVersionUrl2, installed.game)) {
        const wxString causes = firstCause + "; " + holder.FailureCause();
        RUNLOG_ERROR(frame.logTarget, 1590,
                     "can not connect update server! may be update server not open! ");
        RUNLOG_CAUSE(frame.logTarget, 1590, causes);
        return platform::Error{causes.utf8_string()};
      }
    }
    const wxString patchVersion = holder.GetPatchVersion();
    const wxString launcherVersion = holder.GetLauncherVersion();
    // Plain string equality: "1.0" and "1.00" are different versions.
    frame.updateNeeded = !(installed.game == patchVersion && installed.launcher == launcherVersion);

    // "0.0" asks for a full installation, which starts from no data at all:
    // nothing installed before counts as installed any more. Only a loaded
    // manifest (which then has a base set to install) empties the data; a
    // library or server that cannot be had leaves it alone.
    if (installed.game == "0.0") {
      DeleteIfDirectory(frame.programDir + "data");
      ForgetApplied(frame.programDir);
    }
  }

  if (!loaded) return loaded;

  holder.patch->userData = &holder;
  holder.patch->hostWindow = &frame;
  holder.patch->statusCallback = &OnPatchStatus;
  holder.patch->progressCallback = &OnPatchProgress;
  return platform::Status();
}

bool CheckVersion(RoadPhase* phase) { return CheckUpdateVersion(phase).ok(); }
