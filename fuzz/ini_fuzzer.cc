// The INI reader and writer: input is "section\nkey\nvalue\n" followed by
// the file. Reads the key, writes the value and reads it back; the file
// keeps its other keys readable.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/ini_file.h"

namespace {

// Blanks around names and values, as the Windows INI functions drop them
// (a CR among them, for files unscrambled in text mode).
constexpr char kBlanks[] = " \t\r\n\v\f";

std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(kBlanks);
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
}

// What a value reads back as: trimmed, without one enclosing pair of quotes.
std::string AsRead(const std::string& value) {
  const std::string trimmed = Trimmed(value);
  if (trimmed.size() >= 2 && (trimmed[0] == '"' || trimmed[0] == '\'') &&
      trimmed.back() == trimmed[0]) {
    return trimmed.substr(1, trimmed.size() - 2);
  }
  return trimmed;
}

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ResetScratch();
  const std::vector<std::string> parts = fuzz::Split(data, size, '\n', 4);
  const std::string& section = parts[0];
  const std::string& key = parts[1];
  const std::string& value = parts[2];
  const std::string path = fuzz::Scratch() + "/Do.ini";
  fuzz::WriteBytes(path, parts[3]);

  const std::string other = "velmor-fuzz-other";
  const std::string before = platform::ReadIniString(path, section, other, "?");
  platform::ReadIniString(path, section, key, "");
  platform::ReadIniSectionNames(path);

  if (platform::WriteIniString(path, section, key, value)) {
    // Any value the writer accepts reads back (as the Windows functions give
    // it), cut only when it is long.
    const std::string written = AsRead(value);
    const std::string read = platform::ReadIniString(path, section, key, "?");
    if (written.size() <= platform::kIniValueMaxChars) {
      FUZZ_CHECK(read == written);
    } else {
      FUZZ_CHECK(!read.empty() && written.compare(0, read.size(), read) == 0);
    }
    FUZZ_CHECK(platform::IniFileHasSection(path));
    // Another key of the section is not disturbed (names match without
    // regard to ASCII case).
    if (AsciiLower(Trimmed(key)) != other) {
      FUZZ_CHECK(platform::ReadIniString(path, section, other, "?") == before);
    }
  }
  fuzz::CheckScratchTree();
  return 0;
}
