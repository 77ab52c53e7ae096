#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>

#include "platform/file_descriptor.h"
#include "platform/file_replacement.h"
#include "platform/utf8.h"

namespace platform {
namespace {

// One line of an INI file as it was read. Lines end at a CR or an LF; the
// run of line-break characters after a line is kept with it, so that a
// rewrite gives every untouched line back byte for byte.
struct Line {
  std::string text;       // without its line break
  std::string lineBreak;  // the CR/LF run that followed it; "" for the last
  enum class Kind { Other, Section, KeyValue } kind = Kind::Other;
  std::string name;   // section name or key, trimmed
  std::string value;  // value of a key line, trimmed
};

// White space as the Windows INI functions see it around names and values:
// a file unscrambled in text mode ends its lines in CR CR LF, and that CR
// must not reach a value.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// A value enclosed in a matching pair of double or single quotes is given
// without them, as GetPrivateProfileString gives it.
std::string WithoutEnclosingQuotes(const std::string& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool NamesMatch(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

Line ParseLine(std::string text, std::string lineBreak = std::string()) {
  Line line;
  line.text = std::move(text);
  line.lineBreak = std::move(lineBreak);
  const std::string trimmed = Trim(line.text);
  if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') return line;
  if (trimmed[0] == '[') {
    const size_t close = trimmed.find(']');
    if (close == std::string::npos) return line;
    line.kind = Line::Kind::Section;
    line.name = Trim(trimmed.substr(1, close - 1));
    return line;
  }
  const size_t equals = trimmed.find('=');
  if (equals == std::string::npos) return line;
  std::string key = Trim(trimmed.substr(0, equals));
  if (key.empty()) return line;
  line.kind = Line::Kind::KeyValue;
  line.name = std::move(key);
  line.value = Trim(trimmed.substr(equals + 1));
  return line;
}

// Plain POSIX reads: a directory or an unreadable file is simply no file.
std::optional<std::string> ReadWholeFile(const std::string& path) {
  FileDescriptor fd;
  do {
    fd = FileDescriptor(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  } while (!fd.ok() && errno == EINTR);
  if (!fd.ok()) return std::nullopt;
  struct stat info {};
  if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::string content;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd.get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    content.append(buffer, static_cast<size_t>(n));
  }
  return content;
}

struct ParsedFile {
  std::vector<Line> lines;
  std::string lineBreak = "\n";  // the break the file uses, for lines we add
  std::string byteOrderMark;     // kept in front of the first line
  bool utf16 = false;            // stored as UTF-16LE (with its mark)
};

ParsedFile Parse(const std::string& content) {
  ParsedFile file;
  size_t pos = 0;
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    file.byteOrderMark = content.substr(0, 3);
    pos = 3;
  }
  const size_t firstBreak = content.find('\n', pos);
  if (firstBreak != std::string::npos && firstBreak > pos && content[firstBreak - 1] == '\r') {
    file.lineBreak = "\r\n";
  }
  while (pos < content.size()) {
    size_t end = pos;
    while (end < content.size() && !IsLineBreak(content[end])) ++end;
    size_t next = end;
    while (next < content.size() && IsLineBreak(content[next])) ++next;
    file.lines.push_back(
        ParseLine(content.substr(pos, end - pos), content.substr(end, next - end)));
    pos = next;
  }
  return file;
}

constexpr char kUtf16ByteOrderMark[] = "\xFF\xFE";

// UTF-16LE text (after its mark) as UTF-8; a lone surrogate or an odd last
// byte becomes U+FFFD.
std::string Utf16ToUtf8(const std::string& bytes, size_t pos) {
  std::string out;
  const auto unit = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8);
  };
  while (pos < bytes.size()) {
    if (pos + 1 >= bytes.size()) {
      AppendUtf8(out, 0xFFFD);
      break;
    }
    uint32_t code = unit(pos);
    pos += 2;
    if (code >= 0xD800 && code <= 0xDBFF && pos + 1 < bytes.size() && unit(pos) >= 0xDC00 &&
        unit(pos) <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(pos) - 0xDC00);
      pos += 2;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    AppendUtf8(out, code);
  }
  return out;
}

void AppendUtf16Unit(std::string& out, uint32_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>(unit >> 8);
}

// UTF-8 as UTF-16LE; a byte that starts no valid sequence becomes U+FFFD.
std::string Utf8ToUtf16(const std::string& text) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t length = Utf8SequenceLength(text, pos);
    const auto lead = static_cast<unsigned char>(text[pos]);
    uint32_t code = lead;
    if (length == 1 && lead >= 0x80) {
      code = 0xFFFD;
    } else if (length > 1) {
      code = lead & (0x7F >> length);
      for (size_t i = 1; i < length; ++i)
        code = (code << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
    }
    pos += length;
    if (code >= 0x10000) {
      AppendUtf16Unit(out, 0xD800 + ((code - 0x10000) >> 10));
      AppendUtf16Unit(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      AppendUtf16Unit(out, code);
    }
  }
  return out;
}

// A file saved as "Unicode" on Windows is UTF-16LE with its mark; the INI
// functions read it as such, and so do we.
std::optional<ParsedFile> ParseFile(const std::string& path) {
  std::optional<std::string> content = ReadWholeFile(path);
  if (!content) return std::nullopt;
  if (content->compare(0, 2, kUtf16ByteOrderMark) == 0) {
    ParsedFile file = Parse(Utf16ToUtf8(*content, 2));
    file.utf16 = true;
    return file;
  }
  return Parse(*content);
}

std::string CutToCharacters(const std::string& text, size_t maxChars) {
  size_t pos = 0;
  size_t chars = 0;
  while (pos < text.size() && chars < maxChars) {
    pos += Utf8SequenceLength(text, pos);
    ++chars;
  }
  return text.substr(0, pos);
}

bool ContainsLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

std::string ReadIniString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& givenDefault) {
  // The default loses its trailing blanks, as GetPrivateProfileString's does.
  const std::string defaultValue = givenDefault.substr(0, givenDefault.find_last_not_of(' ') + 1);
  const std::optional<ParsedFile> file = ParseFile(path);
  if (!file) return defaultValue;
  const std::string wantedSection = Trim(section);
  const std::string wantedKey = Trim(key);
  // Only the first section of the name is searched; a later one of the same
  // name is never read.
  bool inSection = false;
  for (const Line& line : file->lines) {
    if (line.kind == Line::Kind::Section) {
      if (inSection) break;
      inSection = NamesMatch(line.name, wantedSection);
    } else if (inSection && line.kind == Line::Kind::KeyValue && NamesMatch(line.name, wantedKey)) {
      return CutToCharacters(WithoutEnclosingQuotes(line.value), kIniValueMaxChars);
    }
  }
  return defaultValue;
}

bool WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) {
  const std::string sectionName = Trim(section);
  const std::string keyName = Trim(key);
  // Names and values that would change the structure of the file are refused:
  // a line break in a value would otherwise plant further keys.
  if (sectionName.empty() || keyName.empty() || ContainsLineBreak(section) ||
      ContainsLineBreak(key) || ContainsLineBreak(value) ||
      sectionName.find(']') != std::string::npos || keyName.find('=') != std::string::npos ||
      keyName[0] == '[' || keyName[0] == ';' || keyName[0] == '#') {
    return false;
  }

  ParsedFile file;
  if (access(path.c_str(), F_OK) == 0) {
    std::optional<ParsedFile> existing = ParseFile(path);
    if (!existing) return false;
    file = std::move(*existing);
  }
  // A UTF-16 file cannot hold bytes that are not UTF-8: refused rather than
  // stored as replacement characters.
  if (file.utf16 && !(IsValidUtf8(section) && IsValidUtf8(key) && IsValidUtf8(value))) {
    return false;
  }

  const std::string newLine = keyName + "=" + value;
  // Find the first matching section; replace its key or add the key after the
  // section's last key line.
  std::optional<size_t> sectionHeader;
  std::optional<size_t> lastKeyLine;
  bool inSection = false;
  bool replaced = false;
  for (size_t i = 0; i < file.lines.size() && !replaced; ++i) {
    Line& line = file.lines[i];
    if (line.kind == Line::Kind::Section) {
      if (sectionHeader && inSection) break;  // end of the first matching section
      inSection = NamesMatch(line.name, sectionName);
      if (inSection) sectionHeader = i;
    } else if (inSection && line.kind == Line::Kind::KeyValue) {
      if (NamesMatch(line.name, keyName)) {
        line = ParseLine(newLine, line.lineBreak);
        replaced = true;
      } else {
        lastKeyLine = i;
      }
    }
  }
  if (!replaced) {
    size_t insertAt = file.lines.size();
    std::vector<Line> added;
    if (sectionHeader) {
      insertAt = (lastKeyLine ? *lastKeyLine : *sectionHeader) + 1;
    } else {
      added.push_back(ParseLine("[" + sectionName + "]", file.lineBreak));
    }
    added.push_back(ParseLine(newLine, file.lineBreak));
    if (insertAt > 0) {
      // The line before keeps its own line end; blank lines after it move
      // behind the new ones. It may have been the last, without a break.
      std::string& before = file.lines[insertAt - 1].lineBreak;
      const size_t lf = before.find('\n');
      const size_t own = before.empty() ? 0 : (lf == std::string::npos ? 1 : lf + 1);
      added.back().lineBreak += before.substr(own);
      before = own == 0 ? file.lineBreak : before.substr(0, own);
    }
    file.lines.insert(file.lines.begin() + static_cast<std::ptrdiff_t>(insertAt), added.begin(),
                      added.end());
  }

  std::string content = file.byteOrderMark;
  for (const Line& line : file.lines) content += line.text + line.lineBreak;
  if (file.utf16) content = kUtf16ByteOrderMark + Utf8ToUtf16(content);
  // Replaced in one step, so that a reader never sees it half written.
  return ReplaceFileContent(path, content).ok();
}

std::vector<std::string> ReadIniSectionNames(const std::string& path) {
  std::vector<std::string> names;
  const std::optional<ParsedFile> file = ParseFile(path);
  if (!file) return names;
  for (const Line& line : file->lines) {
    if (line.kind != Line::Kind::Section || line.name.empty()) continue;
    bool seen = false;
    for (const std::string& name : names) seen = seen || NamesMatch(name, line.name);
    if (!seen) names.push_back(line.name);
  }
  return names;
}

bool IniFileHasSection(const std::string& path) { return !ReadIniSectionNames(path).empty(); }

}  // namespace platform
