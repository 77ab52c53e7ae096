#include "launcher/update/update_thread.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "download/update_temporaries.h"
#include "launcher/config/version_config.h"
#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/system/my_thread.h"
#include "launcher/system/run_log.h"
#include "launcher/update/live_patch_holder.h"
#include "launcher/update/update_display.h"
#include "launcher/update/update_road_pacer.h"
#include "launcher/update/version_check.h"
#include "platform/tick.h"

namespace {

// How long the thread sleeps between two looks at the prepared flag.
constexpr auto kPreparedPollInterval = std::chrono::milliseconds(10);

std::atomic<uint32_t> g_timeLimitMs{kUpdateTimeLimitMs};
std::atomic<void (*)()> g_unpreparedObserver{nullptr};

// Set once per run of the thread, when a version check has succeeded.
std::atomic<bool> g_bVersionChecked{false};
// The tick of the successful check: base of the update's time limit.
std::atomic<uint32_t> g_dwUpdateTick{0};

bool LimitPassed(uint32_t since) {
  // Unsigned difference: right across a wrap of the tick counter.
  return static_cast<uint32_t>(platform::TickCount() - since) > g_timeLimitMs.load();
}

// False when shut-down began while waiting.
bool WaitUntilPrepared() {
  for (;;) {
    if (WorkerStopRequested()) return false;
    LauncherFrameWnd* frame = g_pFrame.load();
    if (frame && frame->prepared) return true;
    if (auto observer = g_unpreparedObserver.load()) observer();
    std::this_thread::sleep_for(kPreparedPollInterval);
  }
}

// The update is given up at a time limit; the player may start the game.
void GiveUp(LauncherFrameWnd& frame) {
  frame.updateNeeded = false;
  frame.SetEnterGameEnabled(true);
}

enum class Pass { Again, End };

Pass CheckPhase(LauncherFrameWnd& frame) {
  if (LimitPassed(frame.prepareTick)) {
    RUNLOG_ERROR(frame.logTarget, 1767, "The network is busy,please update again later!");
    GiveUp(frame);
    return Pass::End;
  }
  if (!CheckVersion()) {
    // A failing server is asked again only after a pause that grows.
    return UpdateRoadPacer().PauseAfterFailure() ? Pass::Again : Pass::End;
  }
  UpdateRoadPacer().Reset();
  g_bVersionChecked = true;
  g_dwUpdateTick = platform::TickCount();
  if (WorkerStopRequested()) return Pass::End;

  ShowVersionCheckFinished(frame);
  if (!frame.updateNeeded) {
    RUNLOG_MESSAGE(frame.logTarget, 1756, "The current is the latest version... ");
    frame.SetEnterGameEnabled(true);
    return Pass::End;
  }
  RUNLOG_MESSAGE(frame.logTarget, 1748, "Connect the server and update... ");
  frame.SetEnterGameEnabled(false);
  return Pass::Again;
}

Pass ApplyPhase(LauncherFrameWnd& frame) {
  if (LimitPassed(g_dwUpdateTick)) {
    RUNLOG_ERROR(frame.logTarget, 1805, "The network is busy,please update again later!");
    // The library stays loaded until the launcher ends.
    GiveUp(frame);
    return Pass::End;
  }
  LivePatchHolder* holder = frame.livePatch;
  if (!holder) return Pass::Again;
  bool applied = false;
  {
    std::lock_guard<std::recursive_mutex> lock(holder->mutex);
    if (!holder->patch) return Pass::Again;
    // The library reads the installed versions through these references for
    // the whole call, and sees what the status callback stores into them.
    auto& versions = VersionConfig();
    applied = holder->ApplyPatches(versions.Version, versions.LVersion);
  }
  if (WorkerStopRequested()) return Pass::End;
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
    frame.SetEnterGameEnabled(true);
    return Pass::End;
  }
  return UpdateRoadPacer().PauseAfterFailure() ? Pass::Again : Pass::End;
}

}  // namespace

void SetUpdateTimeLimitForTesting(uint32_t limitMs) {
  g_timeLimitMs = limitMs == 0 ? kUpdateTimeLimitMs : limitMs;
}

bool UpdateVersionChecked() { return g_bVersionChecked; }

void SetUnpreparedFrameObserverForTesting(void (*observer)()) { g_unpreparedObserver = observer; }

void UpdateThread(void* /*userData*/) {
  g_bVersionChecked = false;
  g_dwUpdateTick = 0;
  UpdateRoadPacer().Reset();
  bool swept = false;
  for (;;) {
    if (!WaitUntilPrepared()) return;
    LauncherFrameWnd& frame = *g_pFrame.load();
    if (!swept) {
      // What a killed run left half-replaced goes before anything else.
      RemoveNotedTemporaries(frame.programDir.utf8_string());
      swept = true;
    }
    RUNLOG_MESSAGE(frame.logTarget, 1728, "Please later is connect to the server... ");
    const Pass pass = g_bVersionChecked ? ApplyPhase(frame) : CheckPhase(frame);
    if (pass == Pass::End) return;
  }
}
