#include "tests/support/scramble.h"

#include "tests/support/temp_dir.h"

namespace testing_support {

std::string Scramble(const std::string& plain, const std::string& key) {
  std::string stored(plain.size(), '\0');
  for (size_t n = 0; n < plain.size(); ++n) {
    const size_t k = n % 8;
    const unsigned char keyByte = k < key.size() ? static_cast<unsigned char>(key[k]) : 0;
    stored[n] = static_cast<char>(static_cast<unsigned char>(plain[n]) + keyByte);
  }
  return stored;
}

void WriteScrambledFile(const std::string& path, const std::string& plain, const std::string& key) {
  WriteFile(path, Scramble(plain, key));
}

std::string WithCrLf(const std::string& plain) {
  std::string out;
  for (char c : plain) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace testing_support
