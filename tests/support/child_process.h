// Real child processes: copies of sleep standing in for a running game
// under a chosen executable name, and programs of ours run to their end,
// with bounded waits for them to show and to end.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// Starts a copy of /bin/sleep named `name` in `directory` (with its trailing
// separator), sleeping 60 seconds; -1 on failure.
pid_t StartSleeper(const std::string& directory, const std::string& name);

// True once the process list shows `pid` under `name`; gives up after about
// two seconds.
bool IsListedAs(pid_t pid, const std::string& name);

// Reaps `pid` within about five seconds; true when it ended by SIGKILL.
bool EndedByKill(pid_t pid);

// Starts `argv` (argv[0] is the program's path) with our environment; -1 on
// failure.
pid_t StartProgram(const std::vector<std::string>& argv);

// Reaps the child `pid` within `seconds` and answers its exit status; on
// time-out (or a death by signal) it is killed and reaped, and nullopt comes
// back.
std::optional<int> WaitForExit(pid_t pid, int seconds);

// True once the process `pid`, not necessarily our child, has ended (or is
// a zombie) within `seconds`.
bool WaitUntilGone(pid_t pid, int seconds);

}  // namespace testing_support
