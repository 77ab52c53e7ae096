#include "tests/support/test_road_environment.h"

namespace testing_support {

bool TestRoadEnvironment::Pause(std::chrono::milliseconds pause) {
  if (stopped_) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pauses_.push_back(pause);
  }
  Advance(pause);
  return !stopped_;
}

std::vector<std::chrono::milliseconds> TestRoadEnvironment::Pauses() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pauses_;
}

}  // namespace testing_support
