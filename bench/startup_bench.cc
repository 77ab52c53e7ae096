// Start-up of the launcher program, headless: from starting the process to
// the run-log line that OnPrepare writes once the frame is ready.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_paths.h"

extern char** environ;

namespace velmor_bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr char kPreparedLine[] = "finish  launcher OnPrepare! ";
constexpr int kWaitLimitMs = 10000;

// The built program directory copied, with settings whose URLs lead to the
// loopback server (which answers 404) or, without one, to a closed port.
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
  return true;
}

// Waits, at most until `deadline`, for `line` to appear in the file `path`
// inside the directory `inotifyFd` watches.
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

// One start of the launcher in `program`: seconds until the prepared line,
// or a negative value when it did not come within the limit.
double TimeOneStart(const std::string& program) {
  const std::string launcher = program + "launcher";
  const std::string log = program + "run.log";
  fs::remove(log);
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  inotify_add_watch(watch, program.c_str(), IN_CREATE | IN_MODIFY);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  char* argv[] = {const_cast<char*>(launcher.c_str()), nullptr};

  const auto start = Clock::now();
  pid_t pid = -1;
  const bool started = posix_spawn(&pid, launcher.c_str(), &actions, nullptr, argv, environ) == 0;
  const bool prepared = started && WaitForLine(watch, log, kPreparedLine,
                                               start + std::chrono::milliseconds(kWaitLimitMs));
  const auto end = Clock::now();

  if (started) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  posix_spawn_file_actions_destroy(&actions);
  close(watch);
  return prepared ? std::chrono::duration<double>(end - start).count() : -1.0;
}

// A start as the player sees it every time: the program directory has been
// started once before (the first start creates resolution.ini and
// version.ini from orvo.ini), untimed.
void BM_StartUp(benchmark::State& state) {
  const std::string program =
      (WorkDir().empty() ? fs::temp_directory_path().string() : WorkDir()) + "/startup/";
  if (!PrepareProgramDir(program)) {
    state.SkipWithError("program directory not made");
    return;
  }
  setenv("VELMOR_LAUNCHER_AUTOCLOSE_MS", "5000", 1);  // ends itself if left alone
  if (TimeOneStart(program) < 0) {
    state.SkipWithError("no OnPrepare line in run.log");
    return;
  }
  for (auto _ : state) {
    const double seconds = TimeOneStart(program);
    if (seconds < 0) {
      state.SkipWithError("no OnPrepare line in run.log");
      break;
    }
    state.SetIterationTime(seconds);
  }
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// Starting a program that only loads the launcher's libraries and ends.
void BM_LibrariesOnly(benchmark::State& state) {
  char* argv[] = {const_cast<char*>(VELMOR_BENCH_EMPTY_PROGRAM), nullptr};
  for (auto _ : state) {
    pid_t pid = -1;
    int status = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0 ||
        waitpid(pid, &status, 0) != pid || status != 0) {
      state.SkipWithError("program did not run");
    }
  }
}
BENCHMARK(BM_LibrariesOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace velmor_bench
