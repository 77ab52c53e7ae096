// Makes scrambled fixtures: the reverse of the launcher's unscrambling
// (stored byte n = plain byte + key[n % 8], mod 256).
#pragma once

#include <string>

namespace testing_support {

inline constexpr const char kTestCipherKey[] = "QoTarK583027dex4461";

std::string Scramble(const std::string& plain, const std::string& key = kTestCipherKey);

// Scrambles `plain` into the file at `path`.
void WriteScrambledFile(const std::string& path, const std::string& plain,
                        const std::string& key = kTestCipherKey);

// Plain text as the launcher writes it after unscrambling: every "\n"
// becomes "\r\n".
std::string WithCrLf(const std::string& plain);

}  // namespace testing_support
