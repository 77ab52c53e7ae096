// The running processes: listing them by executable name and stopping them.
// The launcher stops every running game before it installs update files.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
  int pid = 0;
  // The executable's file name without directory, as the game would be
  // matched on Windows: the base name of /proc/PID/exe; where that cannot be
  // read, or where it names an interpreter running a script, the name the
  // kernel recorded for the process (comm), which is the script's name.
  std::string exeName;
  // The real user the process runs as; -1 when that cannot be read.
  long uid = -1;
  // The full path of the program the process runs: its executable as the
  // kernel links it (also once the file has been replaced or deleted) or,
  // for a script run by its interpreter, the script named on its command
  // line, resolved against the process's working directory. "" when unknown.
  std::string programPath;
};

// Every running process, in ascending pid order; nullopt when the process
// list cannot be read at all.
std::optional<std::vector<ProcessEntry>> ListProcesses();

// Ends the process at once (SIGKILL) without waiting for it. False when the
// process does not exist or may not be signalled.
bool TerminateProcess(int pid);

// The same for a process found in a list earlier: it is stopped only when the
// process now holding `pid` still has the executable name `expectedExeName`
// (as ListProcesses names it; "" checks nothing), so that a number the system
// gave to a new process meanwhile is left alone. The process is held by a
// pidfd from the check to the signal.
bool TerminateProcess(int pid, const std::string& expectedExeName);

// The same, where the process now holding `expected.pid` must still be the
// one listed: same name, user and program path.
bool TerminateProcess(const ProcessEntry& expected);

// Windows needs a debug privilege on the launcher's own token before it may
// stop processes of other sessions. Linux has no such token step: whether a
// process may be stopped is decided by its owner and our capabilities at
// signal time. Kept so callers read as on every platform; always true.
bool EnableDebugPrivilege();

// Blocks the calling thread for `milliseconds`.
void SleepMilliseconds(unsigned milliseconds);

}  // namespace platform
