#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
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

// The name a process is listed and matched by; "" once it has ended.
std::string ProcessExeName(const std::string& procDir) {
  const std::string comm = CommandName(procDir);
  std::string exeName = ExecutableBaseName(procDir);
  // An interpreter running a script, or an unreadable link: the kernel's
  // name for the process is the better match.
  if (exeName.empty() || exeName.compare(0, kCommMaxChars, comm) != 0) exeName = comm;
  return exeName;
}

// A handle on the process itself rather than on its number, which the
// system may give to a new process once the old one has ended. -1 with
// errno set when there is none (ENOSYS on kernels before 5.3).
int OpenProcessHandle(int pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  errno = ENOSYS;
  return -1;
#endif
}

bool SignalProcessHandle(int handle, int signal) {
#ifdef SYS_pidfd_send_signal
  return syscall(SYS_pidfd_send_signal, handle, signal, nullptr, 0) == 0;
#else
  (void)handle;
  (void)signal;
  errno = ENOSYS;
  return false;
#endif
}

bool HasExeName(int pid, const std::string& expectedExeName) {
  return expectedExeName.empty() ||
         ProcessExeName("/proc/" + std::to_string(pid)) == expectedExeName;
}

}  // namespace

std::optional<std::vector<ProcessEntry>> ListProcesses() {
  DIR* proc = opendir("/proc");
  if (!proc) return std::nullopt;
  std::vector<ProcessEntry> processes;
  while (const dirent* entry = readdir(proc)) {
    const std::optional<int> pid = ParsePid(entry->d_name);
    if (!pid) continue;
    std::string exeName = ProcessExeName(std::string("/proc/") + entry->d_name);
    if (exeName.empty()) continue;  // the process ended while we looked
    processes.push_back({*pid, std::move(exeName)});
  }
  closedir(proc);
  std::sort(processes.begin(), processes.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
  return processes;
}

bool TerminateProcess(int pid) { return TerminateProcess(pid, ""); }

bool TerminateProcess(int pid, const std::string& expectedExeName) {
  // 0 and negative numbers would signal whole process groups.
  if (pid <= 0) return false;
  const int handle = OpenProcessHandle(pid);
  if (handle < 0) {
    if (errno != ENOSYS) return false;  // gone, or no process of its own
    // An old kernel: the number is all there is to signal.
    return HasExeName(pid, expectedExeName) && kill(pid, SIGKILL) == 0;
  }
  // The name is read through the number; it belonged to our process when the
  // process is still alive after the read (signal 0 only checks that).
  const bool stopped = HasExeName(pid, expectedExeName) && SignalProcessHandle(handle, 0) &&
                       SignalProcessHandle(handle, SIGKILL);
  close(handle);
  return stopped;
}

bool EnableDebugPrivilege() { return true; }

void SleepMilliseconds(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform
