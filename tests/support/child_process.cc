#include "tests/support/child_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <vector>

#include "platform/process.h"

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
  for (int attempt = 0; attempt < 200; ++attempt) {
    const auto processes = platform::ListProcesses();
    for (const auto& entry : processes.value_or(std::vector<platform::ProcessEntry>{})) {
      if (entry.pid == pid && entry.exeName == name) return true;
    }
    platform::SleepMilliseconds(10);
  }
  return false;
}

bool EndedByKill(pid_t pid) {
  for (int attempt = 0; attempt < 500; ++attempt) {
    int status = 0;
    const pid_t result = waitpid(pid, &status, WNOHANG);
    if (result == pid) return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    if (result < 0) return false;
    platform::SleepMilliseconds(10);
  }
  return false;
}

}  // namespace testing_support
