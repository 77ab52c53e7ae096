#include "launcher/system/retry_pacer.h"

#include <algorithm>
#include <mutex>

#include "launcher/system/my_thread.h"

namespace {

constexpr std::chrono::milliseconds kFirstPause{1000};
constexpr std::chrono::milliseconds kLongestPause{30000};

std::atomic<std::chrono::milliseconds::rep> g_firstMs{kFirstPause.count()};
std::atomic<std::chrono::milliseconds::rep> g_longestMs{kLongestPause.count()};

std::mutex& WaiterMutex() {
  static std::mutex mutex;
  return mutex;
}
std::function<bool(std::chrono::milliseconds)>& Waiter() {
  static std::function<bool(std::chrono::milliseconds)> waiter;
  return waiter;
}

// True when the retrying may go on after the pause.
bool Wait(std::chrono::milliseconds pause) {
  std::function<bool(std::chrono::milliseconds)> waiter;
  {
    std::lock_guard<std::mutex> lock(WaiterMutex());
    waiter = Waiter();
  }
  if (waiter) return waiter(pause) && !WorkerStopRequested();
  return !WaitForWorkerStop(pause);
}

}  // namespace

std::chrono::milliseconds RetryPacer::NextPause() const {
  const std::chrono::milliseconds longest{g_longestMs.load()};
  std::chrono::milliseconds pause{g_firstMs.load()};
  for (int i = 0; i < failures_ && pause < longest; ++i) pause *= 2;
  return std::min(pause, longest);
}

bool RetryPacer::PauseAfterFailure() {
  if (WorkerStopRequested()) return false;
  const std::chrono::milliseconds pause = NextPause();
  if (failures_ < 64) ++failures_;
  return Wait(pause);
}

void SetRetryPausesForTesting(std::chrono::milliseconds first, std::chrono::milliseconds longest) {
  g_firstMs = first.count() > 0 ? first.count() : kFirstPause.count();
  g_longestMs = longest.count() > 0 ? longest.count() : kLongestPause.count();
}

void SetRetryWaiterForTesting(std::function<bool(std::chrono::milliseconds)> waiter) {
  std::lock_guard<std::mutex> lock(WaiterMutex());
  Waiter() = std::move(waiter);
}
