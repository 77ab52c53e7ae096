// One phase of the update road (the version check, then the apply phase):
// when it began, its time limit, and the pauses it keeps. A phase repeats
// whole passes (a check, an apply call) until one succeeds; inside a pass
// the update library repeats each failed transfer a bounded number of times.
// The passes wait growing pauses between them, the transfers only a short
// one, and both stop waiting where the phase's time is up.
#pragma once

#include <cstdint>

#include "launcher/system/road_environment.h"

class RoadPhase {
 public:
  // The phase began at `start` (a time of the environment's clock).
  RoadPhase(RoadEnvironment& environment, uint32_t start)
      : environment_(environment), start_(start) {}

  // True once more than the phase's limit has passed since its start.
  bool LimitPassed() const;

  // The update library's pause before it repeats a failed transfer (a
  // HostRetryPause, with the phase as its context): the short attempt
  // pause; false, so that the transfer is given up, on shut-down or once
  // the limit has passed.
  static bool PauseBeforeRetry(void* phase);

  // After a failed pass: the next pause of a series that grows, cut short
  // where the limit falls. False on shut-down.
  bool PauseAfterFailedPass();

  // Something arrived: the next failed pass waits the shortest pause again.
  void ResetPassPauses() { failedPasses_ = 0; }

  RoadEnvironment& environment() const { return environment_; }

 private:
  RoadEnvironment& environment_;
  const uint32_t start_;
  int failedPasses_ = 0;
};
