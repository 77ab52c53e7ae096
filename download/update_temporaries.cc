#include "download/update_temporaries.h"

#include <fcntl.h>
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

bool Append(const std::string& ledger, const std::string& entry) {
  const int fd = open(ledger.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  // One write per entry: entries never interleave.
  const ssize_t written = write(fd, entry.data(), entry.size());
  const bool closed = close(fd) == 0;
  return closed && written == static_cast<ssize_t>(entry.size());
}

}  // namespace

int CreateNotedTemporary(const std::string& ledgerDir, const std::string& target,
                         const char* suffix, std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(target, error);
  if (error) return -1;
  // A target whose name is near the longest a directory entry may have
  // gets a temporary with its name cut short.
  std::string base = absolute.filename().string();
  const size_t added = 1 + kRandomLength + std::strlen(suffix);
  if (base.size() + added > kLongestName)
    base.resize(kLongestName > added ? kLongestName - added : 0);
  std::string name = (absolute.parent_path() / base).string() + ".XXXXXX" + suffix;
  // The ledger separates its entries with NUL, which no path holds.
  if (name.find('\0') != std::string::npos) return -1;
  const int fd = mkostemps(name.data(), static_cast<int>(std::strlen(suffix)), O_CLOEXEC);
  if (fd < 0) return -1;
  if (!Append(LedgerPath(ledgerDir), name + '\0')) {
    unlink(name.c_str());
    close(fd);
    return -1;
  }
  path = name;
  return fd;
}

void ForgetNotedTemporaries(const std::string& ledgerDir) { unlink(LedgerPath(ledgerDir).c_str()); }

void RemoveNotedTemporaries(const std::string& ledgerDir) {
  const std::string ledger = LedgerPath(ledgerDir);
  const int fd = open(ledger.c_str(), O_RDONLY | O_CLOEXEC);
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
    if (LooksNoted(path) && lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      unlink(path.c_str());
    }
  }
  unlink(ledger.c_str());
}
