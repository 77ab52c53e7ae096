#include "tests/support/child_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/process.h"
#include "tests/support/wait_until.h"

extern char** environ;

namespace testing_support {

pid_t StartSleeper(const std::string& directory, const std::string& name) {
  const std::string path = directory + name;
  std::error_code ignored;
  std::filesystem::copy_file("/bin/sleep", path, std::filesystem::copy_options::skip_existing,
                             ignored);
  std::string program = path;
  std::string seconds = "60";
  char* argv[] = {program.data(), seconds.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
  return pid;
}

bool IsListedAs(pid_t pid, const std::string& name) {
  return WaitUntil(
      [&] {
        const auto processes = platform::ListProcesses();
        for (const auto& entry : processes.value_or(std::vector<platform::ProcessEntry>{})) {
          if (entry.pid == pid && entry.exeName == name) return true;
        }
        return false;
      },
      std::chrono::seconds(2));
}

bool EndedByKill(pid_t pid) {
  int status = 0;
  pid_t result = 0;
  WaitUntil([&] { return (result = waitpid(pid, &status, WNOHANG)) != 0; },
            std::chrono::seconds(5));
  return result == pid && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

pid_t StartProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) return -1;
  std::vector<std::string> storage = argv;
  std::vector<char*> pointers;
  for (std::string& argument : storage) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, storage[0].c_str(), nullptr, nullptr, pointers.data(), environ) != 0)
    return -1;
  return pid;
}

std::optional<int> WaitForExit(pid_t pid, int seconds) {
  int status = 0;
  pid_t result = 0;
  const bool ended = WaitUntil(
      [&] {
        result = waitpid(pid, &status, WNOHANG);
        return result != 0;
      },
      std::chrono::seconds(seconds));
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return std::nullopt;
  }
  if (result != pid) return std::nullopt;
  return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
}

// A zombie has ended, whoever reaps it: "pid (name) Z ...".
static bool IsZombie(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

bool WaitUntilGone(pid_t pid, int seconds) {
  return WaitUntil([pid] { return (kill(pid, 0) != 0 && errno == ESRCH) || IsZombie(pid); },
                   std::chrono::seconds(seconds));
}

}  // namespace testing_support
