// What the launcher's network roads (the update thread, the server-list
// download) and its worker threads take from the world around them: a
// clock, pauses that end at once on shut-down, the pace and time limits they
// keep, the transfer routine they fetch with, the stop request of
// shut-down, and the system's threads. The launcher runs on
// SystemRoadEnvironment(); the frame hands its environment to the workers it
// starts (their user data is the frame). Tests hand one whose clock only
// moves when the road pauses (tests/support/test_road_environment.h), so
// that minutes of a failing server cost no real time.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

#include "download/fetch_file.h"
#include "platform/error.h"

struct RoadPace {
  // Each phase of the update (the version check, the apply phase) gives up
  // this long after it began.
  uint32_t phaseLimitMs = 360000;
  // After a failed attempt inside a bounded loop (a fetch's 10 attempts,
  // a server-list round): short, so that the loop keeps its pace.
  std::chrono::milliseconds attemptPause{200};
  // Between two passes of the update thread (a whole check or apply that
  // failed): from the first, doubling up to the longest.
  std::chrono::milliseconds firstPassPause{1000};
  std::chrono::milliseconds longestPassPause{15000};
  // Between two looks at a flag another thread sets (the frame prepared,
  // the server list asked for).
  std::chrono::milliseconds flagPollInterval{10};
  // How long shut-down waits for the workers to notice the stop request. A
  // worker may sit in a transfer that cannot be interrupted (the manifest
  // fetch, against a server that accepts and never answers).
  std::chrono::milliseconds workerShutDownWait{3000};
  // A transfer that receives (on average) less than a byte a second for
  // this long is abandoned as a failed attempt.
  long stallTimeoutSeconds = kStallTimeoutSeconds;
};

class RoadEnvironment {
 public:
  virtual ~RoadEnvironment() = default;

  // Milliseconds since an arbitrary start, wrapping at 32 bits: compare by
  // unsigned difference.
  virtual uint32_t Now() = 0;

  // A pause of the road's pace: waits `pause`; false, at once or as soon as
  // it happens, when the stop is requested.
  virtual bool Pause(std::chrono::milliseconds pause) = 0;

  // Waits `interval` between two looks at another thread's flag; false when
  // the stop is requested. Not part of the road's pace.
  virtual bool Poll(std::chrono::milliseconds interval) = 0;

  virtual const RoadPace& Pace() const = 0;

  // True once shut-down has asked the workers to stop.
  virtual bool StopRequested() = 0;

  // The routine every fetch transfers with.
  virtual TransferRoutine Transfer() = 0;

  // Worker threads as the system gives them: MyThread::Create has one
  // prepared, MyThread::Run starts `entry` on it; a failure, saying why,
  // when the system refuses.
  virtual platform::Status PrepareThread() = 0;
  virtual platform::Status StartThread(std::thread& thread, std::function<void()> entry) = 0;
};

// The real clock (platform::TickCount), real pauses, the real pace, the
// process's stop request (RequestWorkerStop), TransferFile and real threads.
RoadEnvironment& SystemRoadEnvironment();
