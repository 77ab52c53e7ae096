// Text assembled without the heap, for code that runs inside a signal
// handler: a fixed buffer that appends strings and numbers and cuts off
// (still terminated) when it is full.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

class SignalSafeText {
 public:
  static constexpr size_t kCapacity = 4096;

  SignalSafeText() { text_[0] = '\0'; }

  SignalSafeText& Append(const char* text);
  SignalSafeText& AppendDecimal(int64_t value);
  SignalSafeText& AppendHex(uintptr_t value);  // "0x" and lower-case digits

  const char* c_str() const { return text_; }
  size_t size() const { return length_; }
  // True when something did not fit and was cut off.
  bool truncated() const { return truncated_; }
  void Clear();

 private:
  void AppendChar(char c);

  char text_[kCapacity];
  size_t length_ = 0;
  bool truncated_ = false;
};

}  // namespace platform
