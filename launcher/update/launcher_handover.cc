#include "launcher/update/launcher_handover.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/system/file_replace.h"
#include "launcher/system/my_thread.h"
#include "launcher/system/run_log.h"
#include "launcher/update/update_display.h"
#include "launcher/update/update_road_lock.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/program.h"

namespace fs = std::filesystem;

namespace {

const wxString kSeparator(platform::kPathSeparator);

// The update is given up for this run; the player may start the game, and
// nothing more of this run is recorded.
void GiveUp(LauncherFrameWnd& frame, const char* why) {
  RUNLOG_ERROR(frame.logTarget, 1993, "%s", why);
  frame.packageFailed = true;
  frame.updateNeeded = false;
  ShowEnterGameEnabled(frame, true);
}

}  // namespace

void HandOverToLauncherUpdater(LauncherFrameWnd& frame, const wxString& launcherVersion) {
  if (!frame.launcherUpdatePending || frame.launcherUpdaterPath.empty()) return;
  const char* failed = std::getenv(kLauncherUpdateFailedVariable);
  if (failed && *failed) {
    GiveUp(frame, "the launcher update failed; it is tried again at the next start");
    return;
  }
  const wxString programDir =
      frame.programDir.EndsWith(kSeparator) ? frame.programDir : frame.programDir + kSeparator;
  const wxString note = frame.launcherPackageDir + kLauncherVersionNote;
  if (!launcherVersion.empty() && !WriteFileReplacing(note, launcherVersion.utf8_string())) {
    GiveUp(frame, "cannot note the launcher version for the updater");
    return;
  }
  const wxString parameters = "\"" + frame.launcherPackageDir + "*" + programDir;
  const std::string updater = frame.launcherUpdaterPath.utf8_string();
  // Zip entries carry no execute permission here; the updater needs it.
  std::error_code ignored;
  fs::permissions(updater, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                  fs::perm_options::add, ignored);
  // The updater installs under our lock, so no second launcher updates
  // meanwhile; it lets go of it when it starts the launcher again.
  if (!platform::StartProgram(updater, parameters.utf8_string(), UpdateRoadLock().descriptor())
           .ok()) {
    GiveUp(frame, "cannot start the launcher's updater");
    return;
  }
  // The launcher ends as the update asks. The update stops here too:
  // nothing more may be installed under the updater.
  RequestWorkerStop();
  platform::CurrentDesktop().PostQuit(0);
}
