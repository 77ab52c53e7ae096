#include "platform/signal_safe_text.h"

namespace platform {

void SignalSafeText::AppendChar(char c) {
  if (length_ + 1 >= kCapacity) {
    truncated_ = true;
    return;
  }
  text_[length_++] = c;
  text_[length_] = '\0';
}

SignalSafeText& SignalSafeText::Append(const char* text) {
  if (!text) return *this;
  for (; *text; ++text) AppendChar(*text);
  return *this;
}

SignalSafeText& SignalSafeText::AppendDecimal(int64_t value) {
  // Works on the magnitude as unsigned so that INT64_MIN needs no special case.
  uint64_t magnitude = static_cast<uint64_t>(value);
  if (value < 0) {
    AppendChar('-');
    magnitude = ~magnitude + 1;
  }
  char digits[20];
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  while (count > 0) AppendChar(digits[--count]);
  return *this;
}

SignalSafeText& SignalSafeText::AppendHex(uintptr_t value) {
  Append("0x");
  char digits[sizeof(uintptr_t) * 2];
  size_t count = 0;
  do {
    digits[count++] = "0123456789abcdef"[value & 0xF];
    value >>= 4;
  } while (value != 0);
  while (count > 0) AppendChar(digits[--count]);
  return *this;
}

void SignalSafeText::Clear() {
  length_ = 0;
  truncated_ = false;
  text_[0] = '\0';
}

}  // namespace platform
