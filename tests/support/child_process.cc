#include "tests/support/child_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
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

}  // namespace testing_support
