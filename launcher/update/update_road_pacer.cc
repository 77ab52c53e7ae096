#include "launcher/update/update_road_pacer.h"

RetryPacer& UpdateRoadPacer() {
  static RetryPacer pacer;
  return pacer;
}

bool PauseUpdateRoadRetry() { return UpdateRoadPacer().PauseAfterFailure(); }
