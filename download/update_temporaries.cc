#include "download/update_temporaries.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

// The ledger is read this far at most: a start never spends long on it.
constexpr size_t kLargestLedger = 16u * 1024 * 1024;
constexpr size_t kRandomLength = 6;  // mkstemps' "XXXXXX"
constexpr size_t kLongestName = NAME_MAX;
constexpr int kNameAttempts = 100;

std::string LedgerPath(const std::string& dir) {
  std::string path = dir.empty() ? std::string(".") : dir;
  if (path.back() != '/') path += '/';
  return path + kTemporaryLedgerFile;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// True for a name this module gives: "<target>.XXXXXX<suffix>". A damaged
// ledger line never names another file.
bool LooksNoted(const std::string& path) {
  for (const char* suffix : {kDownloadTemporarySuffix, kInstallTemporarySuffix}) {
    const size_t tail = std::strlen(suffix) + kRandomLength + 1;
    if (path.size() > tail && path[0] == '/' && EndsWith(path, suffix) &&
        path[path.size() - tail] == '.' && path[path.size() - tail - 1] != '/') {
      return true;
    }
  }
  return false;
}

// The ledger's directory as every path inside it begins: absolute, without
// "." or ".." parts, with a trailing separator; empty when it cannot be had.
std::string InsidePrefix(const std::string& ledgerDir) {
  std::error_code error;
  const std::filesystem::path absolute =
      std::filesystem::absolute(ledgerDir.empty() ? std::string(".") : ledgerDir, error);
  if (error) return std::string();
  std::string prefix = absolute.lexically_normal().string();
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  return prefix;
}

// True for a path inside the ledger's directory: a ledger copied with its
// program directory, or one planted there, never reaches another file.
bool IsInside(const std::string& path, const std::string& prefix) {
  const std::filesystem::path candidate(path);
  for (const std::filesystem::path& part : candidate) {
    if (part == "..") return false;
  }
  const std::string normal = candidate.lexically_normal().string();
  return !prefix.empty() && normal.size() > prefix.size() &&
         normal.compare(0, prefix.size(), prefix) == 0;
}

bool Append(const std::string& ledger, const std::string& entry) {
  // Never through a link: the ledger is ours, wherever a link would lead.
  const int fd = open(ledger.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  // One write per entry: entries never interleave.
  const ssize_t written = write(fd, entry.data(), entry.size());
  const bool closed = close(fd) == 0;
  return closed && written == static_cast<ssize_t>(entry.size());
}

// "<target>.XXXXXX<suffix>" (the target's name cut short when the whole
// would be too long for a directory entry), relative when the target is: a
// program directory whose name is not UTF-8 is named from inside ("./"),
// and its paths must keep that form to be read back.
std::string TemporaryTemplate(const std::string& target, const char* suffix) {
  const std::filesystem::path given(target);
  std::string base = given.filename().string();
  const size_t added = 1 + kRandomLength + std::strlen(suffix);
  if (base.size() + added > kLongestName)
    base.resize(kLongestName > added ? kLongestName - added : 0);
  std::string name = (given.parent_path() / base).string() + ".XXXXXX" + suffix;
  // The ledger separates its entries with NUL, which no path holds.
  if (name.find('\0') != std::string::npos) return std::string();
  return name;
}

// The ledger notes names absolute, whatever directory a later start runs in.
bool Note(const std::string& ledgerDir, const std::string& name) {
  std::error_code error;
  const std::string absolute = std::filesystem::absolute(name, error).string();
  return !error && Append(LedgerPath(ledgerDir), absolute + '\0');
}

// Puts six random letters or digits in place of the template's "XXXXXX".
bool FillRandomPart(std::string& name, size_t suffixLength) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[kRandomLength];
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return false;
  const size_t start = name.size() - suffixLength - kRandomLength;
  for (size_t i = 0; i < kRandomLength; ++i) name[start + i] = kLetters[bytes[i] % 62];
  return true;
}

}  // namespace

// Each name is noted before it exists: a process killed at any moment
// leaves no file that the ledger does not name. A name taken meanwhile is
// tried again under another (its note names nothing of ours that exists).
int CreateNotedTemporary(const std::string& ledgerDir, const std::string& target,
                         const char* suffix, std::string& path) {
  const std::string pattern = TemporaryTemplate(target, suffix);
  if (pattern.empty()) return -1;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = pattern;
    if (!FillRandomPart(name, std::strlen(suffix)) || !Note(ledgerDir, name)) return -1;
    const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      path = name;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

bool LinkNotedTemporary(const std::string& ledgerDir, const std::string& source,
                        const std::string& target, const char* suffix, std::string& path) {
  const std::string pattern = TemporaryTemplate(target, suffix);
  if (pattern.empty()) return false;
  // link() never replaces a file: a taken name is tried again under another.
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = pattern;
    if (!FillRandomPart(name, std::strlen(suffix)) || !Note(ledgerDir, name)) return false;
    if (link(source.c_str(), name.c_str()) == 0) {
      path = name;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

void ForgetNotedTemporaries(const std::string& ledgerDir) { unlink(LedgerPath(ledgerDir).c_str()); }

void RemoveNotedTemporaries(const std::string& ledgerDir) {
  const std::string ledger = LedgerPath(ledgerDir);
  const std::string inside = InsidePrefix(ledgerDir);
  const int fd = open(ledger.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  std::vector<char> text;
  char buffer[65536];
  while (text.size() < kLargestLedger) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.insert(text.end(), buffer, buffer + got);
  }
  close(fd);
  size_t start = 0;
  for (size_t end = 0; end < text.size(); ++end) {
    if (text[end] != '\0') continue;
    const std::string path(text.data() + start, end - start);
    start = end + 1;
    struct stat info {};
    if (LooksNoted(path) && IsInside(path, inside) && lstat(path.c_str(), &info) == 0 &&
        S_ISREG(info.st_mode)) {
      unlink(path.c_str());
    }
  }
  unlink(ledger.c_str());
}
