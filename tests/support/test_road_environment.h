// A road environment for tests: its clock stands still except when the road
// pauses (each pause moves it on by the pause asked) or the test moves it,
// so that minutes of a road pass at once. Every pause and every poll is
// recorded; the transfer routine is the test's choice, and the next thread
// the system is asked for may be refused.
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
  explicit TestRoadEnvironment(const RoadPace& pace = RoadPace{},
                               TransferRoutine transfer = &TransferFile)
      : pace_(pace), transfer_(transfer) {}

  uint32_t Now() override { return now_; }
  // Moves the clock on by `pause`; false once the stop is requested.
  bool Pause(std::chrono::milliseconds pause) override;
  // A short real wait (so that a waiting thread does not spin) that leaves
  // the clock alone; false once the stop is requested.
  bool Poll(std::chrono::milliseconds interval) override;
  const RoadPace& Pace() const override { return pace_; }
  // This road's own stop, or the process's shut-down.
  bool StopRequested() override;
  TransferRoutine Transfer() override { return transfer_; }
  platform::Status PrepareThread() override;
  platform::Status StartThread(std::thread& thread, std::function<void()> entry) override;

  void Advance(std::chrono::milliseconds by) { now_ += static_cast<uint32_t>(by.count()); }
  // Stops this road alone, as shut-down would.
  void RequestStop() { stopped_ = true; }
  // `hook` runs on the road's thread at every pause, before the clock moves.
  void OnPause(std::function<void()> hook);
  std::vector<std::chrono::milliseconds> Pauses() const;
  int Polls() const { return polls_; }

  // The next thread asked for is refused at this step.
  enum class ThreadStep { kNone, kPrepare, kStart };
  void RefuseNextThread(ThreadStep step) { refuse_ = step; }

 private:
  const RoadPace pace_;
  const TransferRoutine transfer_;
  // Not 0, and near the wrap of the 32-bit clock, which the roads must take.
  std::atomic<uint32_t> now_{0xFFFF0000u};
  std::atomic<bool> stopped_{false};
  std::atomic<int> polls_{0};
  std::atomic<ThreadStep> refuse_{ThreadStep::kNone};
  mutable std::mutex mutex_;
  std::vector<std::chrono::milliseconds> pauses_;
  std::function<void()> hook_;
};

}  // namespace testing_support
