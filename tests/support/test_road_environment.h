// A road environment for tests: its clock stands still except when the road
// pauses (each pause moves it on by the pause asked) or the test moves it,
// so that minutes of a road pass at once. Every pause is recorded.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "launcher/system/road_environment.h"

namespace testing_support {

class TestRoadEnvironment : public RoadEnvironment {
 public:
  explicit TestRoadEnvironment(const RoadPace& pace = RoadPace{}) : pace_(pace) {}

  uint32_t Now() override { return now_; }
  // Moves the clock on by `pause`; false once StopPausing was called.
  bool Pause(std::chrono::milliseconds pause) override;
  const RoadPace& Pace() const override { return pace_; }

  void Advance(std::chrono::milliseconds by) { now_ += static_cast<uint32_t>(by.count()); }
  // Later pauses answer false at once, as on shut-down.
  void StopPausing() { stopped_ = true; }
  // `hook` runs on the road's thread at every pause, before the clock moves.
  void OnPause(std::function<void()> hook);
  std::vector<std::chrono::milliseconds> Pauses() const;

 private:
  const RoadPace pace_;
  // Not 0, and near the wrap of the 32-bit clock, which the roads must take.
  std::atomic<uint32_t> now_{0xFFFF0000u};
  std::atomic<bool> stopped_{false};
  mutable std::mutex mutex_;
  std::vector<std::chrono::milliseconds> pauses_;
  std::function<void()> hook_;
};

}  // namespace testing_support
