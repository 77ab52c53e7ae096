// Start-up of the launcher program, headless: from starting the process to
// the run-log line that OnPrepare writes once the frame is ready.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "bench/bench_paths.h"
#include "bench/launcher_run.h"

extern char** environ;

namespace velmor_bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kWaitLimitMs = 10000;

// One start of the launcher in `program`: seconds until the prepared line,
// or a negative value when it did not come within the limit.
double TimeOneStart(const std::string& program) {
  const std::string log = program + "run.log";
  fs::remove(log);
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  inotify_add_watch(watch, program.c_str(), IN_CREATE | IN_MODIFY);

  const auto start = Clock::now();
  const pid_t pid = StartLauncher(program);
  const bool prepared = pid > 0 && WaitForLine(watch, log, kPreparedLine,
                                               start + std::chrono::milliseconds(kWaitLimitMs));
  const auto end = Clock::now();

  EndLauncher(pid);
  close(watch);
  return prepared ? std::chrono::duration<double>(end - start).count() : -1.0;
}

// A start as the player sees it every time: the program directory has been
// started once before (the first start creates resolution.ini and
// version.ini from orvo.ini), untimed.
void BM_StartUp(benchmark::State& state) {
  const std::string program = PrepareLauncherDir("startup");
  if (program.empty()) {
    state.SkipWithError("program directory not made");
    return;
  }
  setenv("VELMOR_LAUNCHER_AUTOCLOSE_MS", "5000", 1);  // ends itself if left alone
  setenv("VELMOR_HEADLESS", "1", 1);                  // even where a display is named
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
