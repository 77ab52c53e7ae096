// The launcher as the start-up benchmarks run it: a copy of the built
// program directory whose settings lead only to the loopback server, one
// process (group) per start.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace velmor_bench {

// The run-log line OnPrepare writes once the frame is ready.
inline constexpr char kPreparedLine[] = "finish  launcher OnPrepare! ";

// Copies the built program directory to `program` (ending in '/'), with
// settings whose URLs lead to the loopback server (or, without one, to a
// closed port), web pages included.
bool PrepareProgramDir(const std::string& program);

// PrepareProgramDir into the directory `name` of the work directory (or of
// the temporary directory); its path, ending in '/', or empty on failure.
std::string PrepareLauncherDir(const std::string& name);

// Starts program + "launcher" in a process group of its own, its output to
// /dev/null (the benchmark's own output is the report); -1 on failure.
pid_t StartLauncher(const std::string& program);
// Ends that launcher and everything it started (the browser's processes).
void EndLauncher(pid_t pid);

// Waits, at most until `deadline`, for `line` to appear in the file `path`
// inside the directory `inotifyFd` watches.
bool WaitForLine(int inotifyFd, const std::string& path, const char* line,
                 std::chrono::steady_clock::time_point deadline);

}  // namespace velmor_bench
