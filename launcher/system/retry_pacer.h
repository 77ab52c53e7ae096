// The pause before a failed attempt is repeated: 1 s, doubling up to 30 s,
// so that a failing or hostile server is not flooded with requests (and the
// run log with lines). A pause ends at once when shut-down asks the workers
// to stop.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>

class RetryPacer {
 public:
  // Waits the current pause and lengthens the next one; false when the
  // workers are asked to stop (before or during the wait).
  bool PauseAfterFailure();
  // After a success the next failure waits the shortest pause again.
  void Reset() { failures_ = 0; }
  // The pause the next failure waits.
  std::chrono::milliseconds NextPause() const;

 private:
  std::atomic<int> failures_{0};
};

// Tests shorten the pauses (first and longest; zero restores the defaults)
// and may take over the waiting itself: `waiter` gets each pause and
// returns false to stop the retrying (an empty one restores the default).
void SetRetryPausesForTesting(std::chrono::milliseconds first, std::chrono::milliseconds longest);
void SetRetryWaiterForTesting(std::function<bool(std::chrono::milliseconds)> waiter);
