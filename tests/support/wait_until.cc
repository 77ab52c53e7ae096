#include "tests/support/wait_until.h"

#include <thread>

namespace testing_support {

namespace {
constexpr std::chrono::milliseconds kPollInterval{5};
}  // namespace

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
}

}  // namespace testing_support
