// The launcher as a running process: the one whose executable is the
// program directory's "launcher".
#pragma once

#include <chrono>
#include <string>

namespace launcher_update {

inline constexpr const char kLauncherProgram[] = "launcher";

// True while some process other than this one runs the executable at
// `launcherPath` (a canonical path), also when that file has been replaced.
bool IsLauncherRunning(const std::string& launcherPath);

// Waits until no such process is left; false when one still runs after
// `limit`.
bool WaitForLauncherToEnd(const std::string& launcherPath, std::chrono::milliseconds limit);

}  // namespace launcher_update
