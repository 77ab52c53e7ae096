#include "bench/launcher_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "bench/bench_paths.h"

extern char** environ;

namespace velmor_bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool PrepareProgramDir(const std::string& program) {
  RemoveTree(program);
  std::error_code error;
  fs::create_directories(program, error);
  for (const auto& entry : fs::directory_iterator(VELMOR_BENCH_PROGRAM_DIR, error)) {
    if (entry.is_regular_file())
      fs::copy_file(entry.path(), program + entry.path().filename().string(), error);
    if (error) return false;
  }
  fs::copy_file(std::string(VELMOR_BENCH_DEMO_DIR) + "orvo.ini", program + "orvo.ini", error);
  if (error) return false;
  const std::string base = BaseUrl().empty() ? "http://127.0.0.1:9" : BaseUrl();
  std::ofstream(program + "Do.ini") << "[Addr]\nServerListUrl1=" << base
                                    << "/none.xml\nServerListUrl2=\nUpdateVersionUrl1=" << base
                                    << "/none.xml\nUpdateVersionUrl2=\n";
  // The web panels' default hosts are out on the internet.
  std::ofstream(program + "web.ini") << "[Web]\nTopUrl=" << base << "/banner.html\nLeftUrl=" << base
                                     << "/news.html\nRightUrl=" << base << "/news2.html\n";
  return true;
}

std::string PrepareLauncherDir(const std::string& name) {
  const std::string program =
      (WorkDir().empty() ? fs::temp_directory_path().string() : WorkDir()) + "/" + name + "/";
  return PrepareProgramDir(program) ? program : std::string();
}

pid_t StartLauncher(const std::string& program) {
  const std::string launcher = program + "launcher";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  char* argv[] = {const_cast<char*>(launcher.c_str()), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, launcher.c_str(), &actions, &attributes, argv, environ) != 0) pid = -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void EndLauncher(pid_t pid) {
  if (pid <= 0) return;
  kill(-pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

bool WaitForLine(int inotifyFd, const std::string& path, const char* line,
                 Clock::time_point deadline) {
  char events[4096];
  for (;;) {
    if (ReadText(path).find(line) != std::string::npos) return true;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd ready{inotifyFd, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count()) + 1) > 0) {
      [[maybe_unused]] const ssize_t ignored = read(inotifyFd, events, sizeof(events));
    }
  }
}

}  // namespace velmor_bench
