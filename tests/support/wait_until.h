// The one bounded wait of the tests: polls a condition until it holds or a
// time limit passes. A test waits for the positive signal it expects and
// fails at the limit; it never sleeps and then looks.
//
//   ASSERT_TRUE(testing_support::WaitUntil([&] { return PathExists(out); }));
#pragma once

#include <chrono>
#include <functional>

namespace testing_support {

// Long enough for anything a test waits for on a busy machine; reached only
// when the awaited thing never happens.
inline constexpr std::chrono::milliseconds kWaitLimit{10000};

// Calls `done` every few milliseconds until it returns true or `timeout` has
// passed; true when it did. `done` runs on the calling thread.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = kWaitLimit);

}  // namespace testing_support
