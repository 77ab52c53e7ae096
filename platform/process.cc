#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>

#include "platform/file_descriptor.h"
#include "platform/files.h"

namespace platform {
namespace {

// The kernel keeps at most this many characters of a process's name.
constexpr size_t kCommMaxChars = 15;
// Enough of /proc/PID/status and cmdline for what is read from them.
constexpr size_t kLargestProcFile = 64 * 1024;

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
  const FileDescriptor fd(open((procDir + "/comm").c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.ok()) return "";
  char buffer[64];
  ssize_t length;
  do {
    length = read(fd.get(), buffer, sizeof buffer);
  } while (length < 0 && errno == EINTR);
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

std::string ReadSmallFile(const std::string& path) {
  const FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  return fd.ok() ? ReadUpTo(fd.get(), kLargestProcFile) : std::string();
}

std::string ReadLink(const std::string& path) {
  std::string target(4096, '\0');
  const ssize_t length = readlink(path.c_str(), target.data(), target.size());
  if (length <= 0 || static_cast<size_t>(length) >= target.size()) return "";
  target.resize(static_cast<size_t>(length));
  return target;
}

// The real user id from the "Uid:" line of /proc/PID/status.
long ProcessUid(const std::string& procDir) {
  const std::string status = ReadSmallFile(procDir + "/status");
  const size_t line = status.find("\nUid:");
  if (line == std::string::npos) return -1;
  char* end = nullptr;
  const long uid = std::strtol(status.c_str() + line + 5, &end, 10);
  return end == status.c_str() + line + 5 ? -1 : uid;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// For a script, the kernel runs its interpreter with the script's path (as
// it was executed) as the first or, after one interpreter option, the second
// argument; the process's name is that path's base name.
std::string ScriptPath(const std::string& procDir, const std::string& comm) {
  const std::string commandLine = ReadSmallFile(procDir + "/cmdline");
  std::vector<std::string> arguments;
  for (size_t start = 0; start < commandLine.size() && arguments.size() < 3;) {
    const size_t end = commandLine.find('\0', start);
    arguments.push_back(commandLine.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& path = arguments[i];
    if (path.empty() || BaseName(path).compare(0, kCommMaxChars, comm) != 0) continue;
    const std::string full = path[0] == '/' ? path : ReadLink(procDir + "/cwd") + "/" + path;
    char resolved[PATH_MAX];
    return realpath(full.c_str(), resolved) ? std::string(resolved) : full;
  }
  return "";
}

std::string ProgramPath(const std::string& procDir, const std::string& exeName) {
  std::string executable = ReadLink(procDir + "/exe");
  static const std::string kDeleted = " (deleted)";
  if (executable.size() > kDeleted.size() &&
      executable.compare(executable.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
    executable.resize(executable.size() - kDeleted.size());
  }
  // The executable unless the process goes by another name: a script.
  if (!executable.empty() && BaseName(executable).compare(0, kCommMaxChars, exeName) == 0)
    return executable;
  return ScriptPath(procDir, exeName);
}

std::optional<ProcessEntry> ReadProcess(int pid) {
  const std::string procDir = "/proc/" + std::to_string(pid);
  ProcessEntry entry;
  entry.pid = pid;
  entry.exeName = ProcessExeName(procDir);
  if (entry.exeName.empty()) return std::nullopt;  // the process ended while we looked
  entry.uid = ProcessUid(procDir);
  entry.programPath = ProgramPath(procDir, entry.exeName);
  return entry;
}

bool SameProcess(const ProcessEntry& expected) {
  const std::optional<ProcessEntry> now = ReadProcess(expected.pid);
  return now && now->exeName == expected.exeName && now->uid == expected.uid &&
         now->programPath == expected.programPath;
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

// Stops the process `pid` when `stillOurs` holds for it. The test reads
// through the number; it spoke of the process we hold when that process is
// still alive after the test (signal 0 only checks that).
template <typename Test>
bool TerminateProcessIf(int pid, Test stillOurs) {
  // 0 and negative numbers would signal whole process groups.
  if (pid <= 0) return false;
  const FileDescriptor handle(OpenProcessHandle(pid));
  if (!handle.ok()) {
    if (errno != ENOSYS) return false;  // gone, or no process of its own
    // An old kernel: the number is all there is to signal.
    return stillOurs() && kill(pid, SIGKILL) == 0;
  }
  return stillOurs() && SignalProcessHandle(handle.get(), 0) &&
         SignalProcessHandle(handle.get(), SIGKILL);
}

}  // namespace

std::optional<std::vector<ProcessEntry>> ListProcesses() {
  DIR* proc = opendir("/proc");
  if (!proc) return std::nullopt;
  std::vector<ProcessEntry> processes;
  while (const dirent* entry = readdir(proc)) {
    const std::optional<int> pid = ParsePid(entry->d_name);
    if (!pid) continue;
    if (std::optional<ProcessEntry> process = ReadProcess(*pid))
      processes.push_back(std::move(*process));
  }
  closedir(proc);
  std::sort(processes.begin(), processes.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
  return processes;
}

bool TerminateProcess(int pid) { return TerminateProcess(pid, ""); }

bool TerminateProcess(int pid, const std::string& expectedExeName) {
  return TerminateProcessIf(pid, [&] { return HasExeName(pid, expectedExeName); });
}

bool TerminateProcess(const ProcessEntry& expected) {
  return TerminateProcessIf(expected.pid, [&] { return SameProcess(expected); });
}

bool EnableDebugPrivilege() { return true; }

void SleepMilliseconds(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform
