// What the launcher's network roads (the update thread, the server-list
// download) take from the world around them: a clock, pauses that end at
// once on shut-down, and the pace they keep. The launcher runs on
// SystemRoadEnvironment(); tests hand a road one whose clock only moves when
// the road pauses (tests/support/test_road_environment.h), so that minutes of
// a failing server cost no real time.
#pragma once

#include <chrono>
#include <cstdint>

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
};

class RoadEnvironment {
 public:
  virtual ~RoadEnvironment() = default;

  // Milliseconds since an arbitrary start, wrapping at 32 bits: compare by
  // unsigned difference.
  virtual uint32_t Now() = 0;

  // Waits `pause`; false, at once or as soon as it happens, when shut-down
  // asks the workers to stop.
  virtual bool Pause(std::chrono::milliseconds pause) = 0;

  virtual const RoadPace& Pace() const = 0;
};

// The real clock (platform::TickCount), real pauses and the real pace.
RoadEnvironment& SystemRoadEnvironment();
