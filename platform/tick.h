// A millisecond tick for time limits measured across threads.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, as an unsigned 32-bit number that
// wraps after about 49.7 days. Compare ticks by unsigned subtraction
// (now - start), which stays right across the wrap.
uint32_t TickCount();

}  // namespace platform
