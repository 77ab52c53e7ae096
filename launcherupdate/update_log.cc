#include "launcherupdate/update_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace launcher_update {

UpdateLog::UpdateLog(const std::string& directory) {
  fd_ = open((directory + kLogName).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
             0644);
}

UpdateLog::~UpdateLog() {
  if (fd_ >= 0) close(fd_);
}

void UpdateLog::Write(const std::string& text) {
  if (fd_ < 0) return;
  char stamp[32] = "";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local)) std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  std::string line = std::string(stamp) + ": ";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      line += escaped;
    } else {
      line += c;
    }
  }
  line += '\n';
  // One write per line; a log that fails is not worth failing the update for.
  ssize_t ignored = write(fd_, line.data(), line.size());
  (void)ignored;
}

}  // namespace launcher_update
