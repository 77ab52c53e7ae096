// The body of the update thread: waits until the frame is prepared, checks
// the version until a check succeeds and, when an update is needed, applies
// it until that succeeds. Each phase gives up after a time limit, after which
// the player may start the installed game.
//
// Shut-down: the thread tests its environment's stop request (the process's
// RequestWorkerStop, launcher/system/my_thread.h) while it waits and between
// attempts, and ends without touching the frame,
// the windows or the update library once it is set. An attempt already
// running inside the library is not interrupted, but its downloads are
// aborted (see OnPatchProgress). So shut-down must call RequestWorkerStop()
// and JoinWorkerThreads() before it deletes the windows or the frame and
// before the update library is released.
//
// Pace: a failed check or apply call is repeated after a pause that grows
// (RoadPace), and each phase gives up at its limit: the version check counts
// from the frame's prepare tick, the update from the successful check.
#pragma once

#include "launcher/system/road_environment.h"

// Thread callback for MyThread; `userData` is the frame (LauncherFrameWnd),
// whose road environment it runs on: the frame's prepare tick was taken from
// that environment's clock.
void UpdateThread(void* userData);

// Whether the thread's version check has succeeded (for tests).
bool UpdateVersionChecked();
