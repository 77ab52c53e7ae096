#include "launcherupdate/launcher_process.h"

#include <dirent.h>
#include <unistd.h>

#include <cctype>
#include <thread>

namespace launcher_update {
namespace {

constexpr std::chrono::milliseconds kPollInterval{50};
// What the kernel adds to the link of an executable whose file is gone.
constexpr char kDeletedSuffix[] = " (deleted)";

std::string ExecutableOf(const char* pid) {
  const std::string link = std::string("/proc/") + pid + "/exe";
  std::string target(4096, '\0');
  const ssize_t length = readlink(link.c_str(), target.data(), target.size());
  if (length <= 0 || static_cast<size_t>(length) >= target.size()) return {};
  target.resize(static_cast<size_t>(length));
  const std::string suffix = kDeletedSuffix;
  if (target.size() > suffix.size() &&
      target.compare(target.size() - suffix.size(), suffix.size(), suffix) == 0)
    target.resize(target.size() - suffix.size());
  return target;
}

}  // namespace

bool IsLauncherRunning(const std::string& launcherPath) {
  DIR* proc = opendir("/proc");
  if (!proc) return false;
  const std::string self = std::to_string(getpid());
  bool running = false;
  while (dirent* entry = readdir(proc)) {
    if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0])) || self == entry->d_name)
      continue;
    if (ExecutableOf(entry->d_name) == launcherPath) {
      running = true;
      break;
    }
  }
  closedir(proc);
  return running;
}

bool WaitForLauncherToEnd(const std::string& launcherPath, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (IsLauncherRunning(launcherPath)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
  return true;
}

}  // namespace launcher_update
