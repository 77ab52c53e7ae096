#include "launcher/update/road_phase.h"

#include <algorithm>

namespace {

using std::chrono::milliseconds;

}  // namespace

bool RoadPhase::LimitPassed() const {
  // Unsigned difference: right across a wrap of the clock.
  return static_cast<uint32_t>(environment_.Now() - start_) > environment_.Pace().phaseLimitMs;
}

bool RoadPhase::PauseBeforeRetry(void* context) {
  auto& phase = *static_cast<RoadPhase*>(context);
  RoadEnvironment& environment = phase.environment_;
  if (environment.StopRequested() || phase.LimitPassed()) return false;
  return environment.Pause(environment.Pace().attemptPause) && !environment.StopRequested() &&
         !phase.LimitPassed();
}

bool RoadPhase::PauseAfterFailedPass() {
  if (environment_.StopRequested()) return false;
  const RoadPace& pace = environment_.Pace();
  milliseconds pause = pace.firstPassPause;
  for (int i = 0; i < failedPasses_ && pause < pace.longestPassPause; ++i) pause *= 2;
  pause = std::min(pause, pace.longestPassPause);
  if (failedPasses_ < 64) ++failedPasses_;
  // The pause ends where the limit passes, so the phase gives up on time.
  const uint32_t elapsed = environment_.Now() - start_;
  const uint32_t left = elapsed > pace.phaseLimitMs ? 0 : pace.phaseLimitMs - elapsed + 1;
  pause = std::min(pause, milliseconds(left));
  return environment_.Pause(pause) && !environment_.StopRequested();
}
