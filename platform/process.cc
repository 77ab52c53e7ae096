#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <thread>

namespace platform {
namespace {

// The kernel keeps at most this many characters of a process's name.
constexpr size_t kCommMaxChars = 15;

std::optional<int> ParsePid(const char* name) {
  if (!name || !*name) return std::nullopt;
  long value = 0;
  for (const char* c = name; *c; ++c) {
    if (*c < '0' || *c > '9') return std::nullopt;
    value = value * 10 + (*c - '0');
    if (value > 0x7fffffffL) return std::nullopt;
  }
  if (value <= 0) return std::nullopt;
  return static_cast<int>(value);
}

std::string ExecutableBaseName(const std::string& procDir) {
  std::string target(4096, '\0');
  const ssize_t length = readlink((procDir + "/exe").c_str(), target.data(), target.size());
  if (length <= 0 || static_cast<size_t>(length) >= target.size()) return "";
  target.resize(static_cast<size_t>(length));
  static const std::string kDeleted = " (deleted)";
  if (target.size() > kDeleted.size() &&
      target.compare(target.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
    target.resize(target.size() - kDeleted.size());
  }
  const size_t slash = target.rfind('/');
  return slash == std::string::npos ? target : target.substr(slash + 1);
}

// POSIX reads: the process may vanish between listing and reading.
std::string CommandName(const std::string& procDir) {
  const int fd = open((procDir + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "";
  char buffer[64];
  ssize_t length;
  do {
    length = read(fd, buffer, sizeof buffer);
  } while (length < 0 && errno == EINTR);
  close(fd);
  if (length <= 0) return "";
  std::string name(buffer, static_cast<size_t>(length));
  const size_t newline = name.find('\n');
  if (newline != std::string::npos) name.resize(newline);
  return name;
}

}  // namespace

std::optional<std::vector<ProcessEntry>> ListProcesses() {
  DIR* proc = opendir("/proc");
  if (!proc) return std::nullopt;
  std::vector<ProcessEntry> processes;
  while (const dirent* entry = readdir(proc)) {
    const std::optional<int> pid = ParsePid(entry->d_name);
    if (!pid) continue;
    const std::string procDir = std::string("/proc/") + entry->d_name;
    const std::string comm = CommandName(procDir);
    std::string exeName = ExecutableBaseName(procDir);
    // An interpreter running a script, or an unreadable link: the kernel's
    // name for the process is the better match.
    if (exeName.empty() || exeName.compare(0, kCommMaxChars, comm) != 0) exeName = comm;
    if (exeName.empty()) continue;  // the process ended while we looked
    processes.push_back({*pid, std::move(exeName)});
  }
  closedir(proc);
  std::sort(processes.begin(), processes.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
  return processes;
}

bool TerminateProcess(int pid) {
  // 0 and negative numbers would signal whole process groups.
  if (pid <= 0) return false;
  return kill(pid, SIGKILL) == 0;
}

bool EnableDebugPrivilege() { return true; }

void SleepMilliseconds(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform
