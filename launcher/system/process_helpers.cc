#include "launcher/system/process_helpers.h"

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
  const std::string wanted = exeName.utf8_string();
  bool stoppedAny = false;
  for (const platform::ProcessEntry& process : *processes) {
    if (process.exeName != wanted) continue;
    EnableDebugPrivilege();
    // A process that ended meanwhile (its number perhaps taken by another
    // program) or may not be signalled is skipped.
    if (platform::TerminateProcess(process.pid, wanted)) stoppedAny = true;
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
