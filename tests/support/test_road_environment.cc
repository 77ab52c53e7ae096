#include "tests/support/test_road_environment.h"

#include <utility>

namespace testing_support {

bool TestRoadEnvironment::Pause(std::chrono::milliseconds pause) {
  if (stopped_) return false;
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pauses_.push_back(pause);
    hook = hook_;
  }
  if (hook) hook();
  Advance(pause);
  return !stopped_;
}

void TestRoadEnvironment::OnPause(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  hook_ = std::move(hook);
}

std::vector<std::chrono::milliseconds> TestRoadEnvironment::Pauses() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pauses_;
}

}  // namespace testing_support
