#include "launcher/system/process_helpers.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "launcher/system/instance_path.h"
#include "platform/desktop.h"
#include "platform/process.h"

namespace {

constexpr unsigned kWaitAfterKillMs = 500;
constexpr int kTrueColorBitsPerPixel = 32;
// A display that refuses true colour this often will not accept it at all.
constexpr int kTrueColorAttempts = 3;

}  // namespace

bool EnableDebugPrivilege() { return platform::EnableDebugPrivilege(); }

bool KillProcessesByName(const wxString& exeName, bool waitAfterKill) {
  const auto processes = platform::ListProcesses();
  if (!processes) return false;
  const std::string name = exeName.utf8_string();
  // Only this installation's game, run by our own user: other installations,
  // other users' programs and anything else of that name are not ours to
  // stop. A program directory that cannot be resolved has no game running.
  char directory[PATH_MAX];
  if (name.empty() || !realpath(InstancePath().utf8_string().c_str(), directory)) return true;
  const std::string wanted =
      std::string(directory) + (std::strcmp(directory, "/") == 0 ? "" : "/") + name;
  const long user = static_cast<long>(getuid());
  bool stoppedAny = false;
  for (const platform::ProcessEntry& process : *processes) {
    if (process.exeName != name || process.uid != user || process.programPath != wanted) continue;
    EnableDebugPrivilege();
    // A process that ended meanwhile (its number perhaps taken by another
    // program) or may not be signalled is skipped.
    if (platform::TerminateProcess(process)) stoppedAny = true;
  }
  if (waitAfterKill && stoppedAny) platform::SleepMilliseconds(kWaitAfterKillMs);
  return true;
}

bool EnsureTrueColor() {
  platform::Desktop& desktop = platform::CurrentDesktop();
  platform::DisplayMode mode = desktop.GetDisplayMode();
  if (mode.bitsPerPixel == kTrueColorBitsPerPixel) return true;
  mode.bitsPerPixel = kTrueColorBitsPerPixel;
  for (int attempt = 0; attempt < kTrueColorAttempts; ++attempt) {
    if (desktop.ChangeDisplayMode(mode)) break;
  }
  return true;
}
