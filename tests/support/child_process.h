// Real child processes standing in for a running game: copies of sleep under
// a chosen executable name, with bounded waits for them to show and to end.
#pragma once

#include <sys/types.h>

#include <string>

namespace testing_support {

// Starts a copy of /bin/sleep named `name` in `directory` (with its trailing
// separator), sleeping 60 seconds; -1 on failure.
pid_t StartSleeper(const std::string& directory, const std::string& name);

// True once the process list shows `pid` under `name`; gives up after about
// two seconds.
bool IsListedAs(pid_t pid, const std::string& name);

// Reaps `pid` within about five seconds; true when it ended by SIGKILL.
bool EndedByKill(pid_t pid);

}  // namespace testing_support
