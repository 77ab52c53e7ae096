#include "launcher/update/update_thread.h"

#include <atomic>
#include <mutex>
#include <optional>

#include "download/update_temporaries.h"
#include "launcher/config/version_config.h"
#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/system/run_log.h"
#include "launcher/update/live_patch_holder.h"
#include "launcher/update/road_phase.h"
#include "launcher/update/update_display.h"
#include "launcher/update/update_road_lock.h"
#include "launcher/update/version_check.h"

namespace {

// Set once per run of the thread, when a version check has succeeded.
std::atomic<bool> g_bVersionChecked{false};
// The tick of the successful check: base of the update's time limit.
std::atomic<uint32_t> g_dwUpdateTick{0};

// False when shut-down began while waiting.
bool WaitUntilPrepared(LauncherFrameWnd& frame, RoadEnvironment& environment) {
  for (;;) {
    if (environment.StopRequested()) return false;
    if (frame.prepared) return true;
    if (!environment.Poll(environment.Pace().flagPollInterval)) return false;
  }
}

// The update is given up at a time limit; the player may start the game.
void GiveUp(LauncherFrameWnd& frame) {
  frame.updateNeeded = false;
  ShowEnterGameEnabled(frame, true);
}

enum class Pass { Again, End };

// The cause of a time limit that passed before any pass of its phase failed.
constexpr char kNoPassFinished[] = "no attempt finished in time";

// The two phases of one run of the thread.
struct Road {
  Road(RoadEnvironment& environment, uint32_t prepareTick)
      : environment(environment), check(environment, prepareTick) {}
  RoadEnvironment& environment;
  RoadPhase check;
  std::optional<RoadPhase> apply;  // from the successful check on
  // Why the last pass failed: the cause of giving up at a time limit.
  wxString lastFailure = kNoPassFinished;
};

Pass CheckPhase(LauncherFrameWnd& frame, Road& road) {
  if (road.check.LimitPassed()) {
    RUNLOG_ERROR(frame.logTarget, 1767, "The network is busy,please update again later!");
    RUNLOG_CAUSE(frame.logTarget, 1767, road.lastFailure);
    GiveUp(frame);
    return Pass::End;
  }
  if (const platform::Status checked = CheckUpdateVersion(&road.check); !checked) {
    road.lastFailure = wxString::FromUTF8(checked.error().message);
    // A failing server is asked again only after a pause that grows.
    return road.check.PauseAfterFailedPass() ? Pass::Again : Pass::End;
  }
  g_bVersionChecked = true;
  road.lastFailure = kNoPassFinished;
  g_dwUpdateTick = road.environment.Now();
  road.apply.emplace(road.environment, g_dwUpdateTick.load());
  if (road.environment.StopRequested()) return Pass::End;

  ShowVersionCheckFinished(frame);
  if (!frame.updateNeeded) {
    RUNLOG_MESSAGE(frame.logTarget, 1756, "The current is the latest version... ");
    ShowEnterGameEnabled(frame, true);
    return Pass::End;
  }
  RUNLOG_MESSAGE(frame.logTarget, 1748, "Connect the server and update... ");
  ShowEnterGameEnabled(frame, false);
  return Pass::Again;
}

Pass ApplyPhase(LauncherFrameWnd& frame, Road& road) {
  RoadEnvironment& environment = road.environment;
  RoadPhase& phase = *road.apply;
  if (phase.LimitPassed()) {
    RUNLOG_ERROR(frame.logTarget, 1805, "The network is busy,please update again later!");
    RUNLOG_CAUSE(frame.logTarget, 1805, road.lastFailure);
    // The library stays loaded until the launcher ends.
    GiveUp(frame);
    return Pass::End;
  }
  // Without a patch object a pass is only a failed one; it waits as well.
  const auto failed = [&road, &phase](const wxString& why) {
    road.lastFailure = why;
    return phase.PauseAfterFailedPass() ? Pass::Again : Pass::End;
  };
  LivePatchHolder* holder = frame.livePatch;
  if (!holder) return failed("no update library loaded");
  bool applied = false;
  wxString reachedBefore;
  wxString cause;
  {
    std::unique_lock<std::recursive_mutex> lock(holder->mutex);
    if (!holder->patch) {
      lock.unlock();
      return failed("no update library loaded");
    }
    // The library's own retries keep this phase's pace and limit.
    holder->patch->retryPause = &RoadPhase::PauseBeforeRetry;
    holder->patch->retryPauseContext = &phase;
    reachedBefore = holder->GetCurrentVersion();
    // The library reads the installed versions through these references for
    // the whole call, and sees what the status callback stores into them.
    auto& versions = VersionConfig();
    applied = holder->ApplyPatches(versions.Version, versions.LVersion);
    if (!applied) cause = holder->FailureCause();
    // A set arrived: the server works again, so a later failure starts
    // over from the shortest pause.
    if (holder->GetCurrentVersion() != reachedBefore) phase.ResetPassPauses();
  }
  if (environment.StopRequested()) return Pass::End;
  if (applied) {
    ReleaseLivePatch();
    ApplyEnterGameRule(frame);
    return Pass::End;
  }
  if (!frame.updateNeeded) {
    // A package could not be unpacked or installed: the status callback has
    // given the update up and enabled Enter game. Retrying would fail the
    // same way, so end as after the time limit, without the library.
    ReleaseLivePatch();
    ShowEnterGameEnabled(frame, true);
    return Pass::End;
  }
  return failed(cause);
}

// Another launcher on this program directory's update road is waited for
// (within the check's time limit), after which this one checks afresh.
// False when the thread should end: shut-down, or the limit passed (given
// up as a check that never succeeded).
bool TakeTheRoad(LauncherFrameWnd& frame, Road& road) {
  bool told = false;
  while (!UpdateRoadLock().TryAcquire(frame.programDir.utf8_string())) {
    if (!told) {
      RUNLOG_MESSAGE(frame.logTarget, 1729, "Another launcher is updating, waiting... ");
      told = true;
    }
    if (road.check.LimitPassed()) {
      RUNLOG_ERROR(frame.logTarget, 1767, "The network is busy,please update again later!");
      RUNLOG_CAUSE(frame.logTarget, 1767, "another launcher kept updating this program directory");
      GiveUp(frame);
      return false;
    }
    if (!road.environment.Pause(road.environment.Pace().firstPassPause) ||
        road.environment.StopRequested())
      return false;
  }
  return true;
}

// The library outlives the thread (it stays loaded after a time limit); it
// must not keep a pause of a phase that is gone.
void ForgetRetryPause() {
  LivePatchHolder& holder = TheLivePatchHolder();
  std::lock_guard<std::recursive_mutex> lock(holder.mutex);
  if (!holder.patch) return;
  holder.patch->retryPause = nullptr;
  holder.patch->retryPauseContext = nullptr;
}

}  // namespace

bool UpdateVersionChecked() { return g_bVersionChecked; }

void UpdateThread(void* userData) {
  g_bVersionChecked = false;
  g_dwUpdateTick = 0;
  if (userData == nullptr) return;
  LauncherFrameWnd& frame = *static_cast<LauncherFrameWnd*>(userData);
  RoadEnvironment& environment = frame.Road();
  if (!WaitUntilPrepared(frame, environment)) return;
  Road road(environment, frame.prepareTick);
  if (!TakeTheRoad(frame, road)) return;
  // What a killed run left half-replaced goes before anything else.
  RemoveNotedTemporaries(frame.programDir.utf8_string());
  for (;;) {
    RUNLOG_MESSAGE(frame.logTarget, 1728, "Please later is connect to the server... ");
    const Pass pass = g_bVersionChecked ? ApplyPhase(frame, road) : CheckPhase(frame, road);
    if (pass == Pass::End || environment.StopRequested()) break;
  }
  ForgetRetryPause();
  UpdateRoadLock().Release();
}
