#include "tests/support/test_road_environment.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "launcher/system/my_thread.h"

namespace testing_support {

bool TestRoadEnvironment::Pause(std::chrono::milliseconds pause) {
  if (StopRequested()) return false;
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pauses_.push_back(pause);
    hook = hook_;
  }
  if (hook) hook();
  Advance(pause);
  return !StopRequested();
}

bool TestRoadEnvironment::Poll(std::chrono::milliseconds interval) {
  ++polls_;
  std::this_thread::sleep_for(std::min(interval, std::chrono::milliseconds(10)));
  return !StopRequested();
}

bool TestRoadEnvironment::StopRequested() { return stopped_ || WorkerStopRequested(); }

platform::Status TestRoadEnvironment::PrepareThread() {
  ThreadStep refused = ThreadStep::kPrepare;
  if (refuse_.compare_exchange_strong(refused, ThreadStep::kNone))
    return platform::Error{"the test refused to prepare the thread"};
  return platform::Status();
}

platform::Status TestRoadEnvironment::StartThread(std::thread& thread,
                                                  std::function<void()> entry) {
  ThreadStep refused = ThreadStep::kStart;
  if (refuse_.compare_exchange_strong(refused, ThreadStep::kNone))
    return platform::Error{"the test refused to start the thread"};
  thread = std::thread(std::move(entry));
  return platform::Status();
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
