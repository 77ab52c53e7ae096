// Incremental MD5 digest (RFC 1321).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class MD5 {
 public:
  MD5();

  // Adds `length` bytes. Ignored once the digest is finalised.
  void update(const void* data, size_t length);
  // Completes the digest; later calls do nothing.
  void finalize();
  // 32 lower-case hexadecimal digits, or "" before finalize().
  std::string hexdigest() const;

 private:
  void transform(const uint8_t block[64]);

  uint32_t state_[4];
  uint64_t bitCount_ = 0;
  uint8_t buffer_[64] = {};
  uint8_t digest_[16] = {};
  bool finalized_ = false;
};
