#include "launcherupdate/version_record.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstddef>
#include <fstream>
#include <iterator>
#include <vector>

#include "launcherupdate/package_install.h"

namespace launcher_update {
namespace {

constexpr char kVersionFile[] = "version.ini";
constexpr size_t kLongestVersion = 254;  // what the launcher's INI reading keeps

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The name under which version.ini exists, in any letter case, as the
// launcher finds it; the plain name when there is none.
std::string VersionFileName(const std::string& programDir) {
  DIR* directory = opendir(programDir.c_str());
  std::string found = kVersionFile;
  if (!directory) return found;
  while (const dirent* entry = readdir(directory)) {
    if (Lower(entry->d_name) == kVersionFile) {
      found = entry->d_name;
      if (found == kVersionFile) break;
    }
  }
  closedir(directory);
  return found;
}

bool Writable(const std::string& version) {
  if (version.empty() || version.size() > kLongestVersion || Trim(version) != version) return false;
  for (const char c : version) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '"' || c == '\\' || c == ';' || c == '#') return false;
  }
  return true;
}

bool WriteWhole(const std::string& path, const std::string& text, mode_t mode) {
  std::string temporary = path + ".XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fchmod(fd, mode) == 0;
  for (size_t written = 0; ok && written < text.size();) {
    const ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) written += static_cast<size_t>(n);
  }
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  // The rename replaces a link in its place rather than writing through it.
  ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

}  // namespace

std::string ReadNotedVersion(const std::string& packageDir) {
  std::ifstream note(packageDir + kVersionNoteName, std::ios::binary);
  if (!note) return {};
  std::string version(kLongestVersion + 1, '\0');
  note.read(version.data(), static_cast<std::streamsize>(version.size()));
  version.resize(static_cast<size_t>(note.gcount()));
  return Writable(version) ? version : std::string();
}

bool RecordLauncherVersion(const std::string& programDir, const std::string& version) {
  if (!Writable(version)) return false;
  const std::string path = programDir + VersionFileName(programDir);
  std::string text;
  mode_t mode = 0644;
  {
    std::ifstream file(path, std::ios::binary);
    if (file) text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) mode = info.st_mode & 0777;
  }
  const std::string lineBreak = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  const std::string entry = "LVersion=" + version;

  // Lines without their breaks; the file's last line may lack one.
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  bool inSection = false;
  bool done = false;
  size_t insertAt = lines.size();
  bool sectionFound = false;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    const std::string trimmed = Trim(lines[i]);
    if (!trimmed.empty() && trimmed.front() == '[') {
      if (inSection) break;  // the end of [Version]
      inSection = Lower(trimmed) == "[version]";
      if (inSection) {
        sectionFound = true;
        insertAt = i + 1;
      }
      continue;
    }
    if (!inSection) continue;
    const size_t equals = trimmed.find('=');
    if (equals != std::string::npos && Lower(Trim(trimmed.substr(0, equals))) == "lversion") {
      lines[i] = entry;
      done = true;
    } else if (!trimmed.empty()) {
      insertAt = i + 1;
    }
  }
  if (!done) {
    if (sectionFound) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
    } else {
      lines.push_back("[Version]");
      lines.push_back(entry);
    }
  }
  std::string updated;
  for (const std::string& line : lines) updated += line + lineBreak;
  return WriteWhole(path, updated, mode);
}

}  // namespace launcher_update
