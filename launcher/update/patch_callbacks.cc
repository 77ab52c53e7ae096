#include "launcher/update/patch_callbacks.h"

#include <fcntl.h>
#include <unistd.h>
#include <wx/filefn.h>
#include <wx/string.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "launcher/config/double_backslashes.h"
#include "launcher/config/version_config.h"
#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/packages/applied_packages.h"
#include "launcher/packages/installation.h"
#include "launcher/packages/package_extraction.h"
#include "launcher/system/my_thread.h"
#include "launcher/system/process_helpers.h"
#include "launcher/system/run_log.h"
#include "launcher/update/launcher_handover.h"
#include "launcher/update/live_patch_holder.h"
#include "launcher/update/update_display.h"
#include "platform/desktop.h"
#include "platform/error.h"
#include "platform/file_descriptor.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

const wxString kSeparator(platform::kPathSeparator);
constexpr const char kGameExecutable[] = "orvo.exe";
constexpr const char kLauncherUpdater[] = "launcherupdate.exe";
constexpr float kUpdateDonePercent = 100.0f;
constexpr double kLargestPercent = 1000000.0;

// The update is given up as far as the player is concerned: the installed
// game may be started. The update thread ends once the library returns.
// The version steps still to come must not record a version whose files
// never arrived.
void GiveUpUpdate(LauncherFrameWnd& frame) {
  frame.packageFailed = true;
  frame.updateNeeded = false;
  ShowEnterGameEnabled(frame, true);
}

// Stops every running game so that its files can be replaced. When the
// process list cannot be had the launcher is asked to end; false then.
bool StopRunningGame() {
  if (KillProcessesByName(kGameExecutable, true)) return true;
  platform::CurrentDesktop().PostQuit(0);
  return false;
}

// The byte total of every file below `dir` (symbolic links not followed),
// capped to 32 bits; none when the tree cannot be walked.
std::optional<uint32_t> TreeSize(const wxString& dir) {
  std::error_code error;
  uintmax_t total = 0;
  fs::recursive_directory_iterator it(dir.utf8_string(), error);
  for (const fs::recursive_directory_iterator end; !error && it != end; it.increment(error)) {
    const fs::file_status status = it->symlink_status(error);
    if (error) return std::nullopt;
    if (!fs::is_regular_file(status)) continue;
    const uintmax_t size = it->file_size(error);
    if (error) return std::nullopt;
    total += size;
  }
  if (error) return std::nullopt;
  return static_cast<uint32_t>(std::min<uintmax_t>(total, UINT32_MAX));
}

// The parts of `path` made absolute and free of "." and ".." parts,
// following links where it exists, for comparing directories.
std::vector<fs::path> NormalizedParts(const wxString& path) {
  std::error_code error;
  fs::path normal = fs::weakly_canonical(fs::path(path.utf8_string()), error);
  if (error) normal = fs::absolute(fs::path(path.utf8_string()), error);
  std::vector<fs::path> parts;
  for (const fs::path& part : normal.lexically_normal()) {
    if (!part.empty()) parts.push_back(part);  // a trailing separator gives an empty part
  }
  return parts;
}

// True when `dir` is the program directory or one that holds it.
bool HoldsProgramDirectory(const wxString& programDir, const wxString& dir) {
  const std::vector<fs::path> program = NormalizedParts(programDir);
  const std::vector<fs::path> candidate = NormalizedParts(dir);
  return candidate.size() <= program.size() &&
         std::equal(candidate.begin(), candidate.end(), program.begin());
}

// False when what was written there may not have reached the disk.
bool SyncFilesystemOf(const wxString& dir) {
  const platform::FileDescriptor fd(open(dir.utf8_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.ok() && syncfs(fd.get()) == 0;
}

// The directory that holds the package at `path` ("." for a bare name).
wxString HoldingDirectory(const wxString& path) {
  return path.Contains(kSeparator) ? path.BeforeLast(platform::kPathSeparator) : wxString(".");
}

// A package stored in the program directory (or above it) would be unpacked
// into a directory of the installation when one has its name (data.upd and
// the game's data directory): the installation would copy that directory's
// own files about and the clean-up would delete it. Such a package is not
// unpacked; anywhere else the package's directory is its own.
bool WouldUnpackIntoInstallation(const wxString& programDir, const wxString& path,
                                 const wxString& stem) {
  std::error_code error;
  const bool stemTaken = fs::exists(fs::symlink_status(stem.utf8_string(), error));
  return stemTaken && HoldsProgramDirectory(programDir, HoldingDirectory(path));
}

// The launcher's updater in the unpacked package, its name in any letter
// case as the package's other special names; empty when there is none.
wxString FindLauncherUpdater(const wxString& stem) {
  std::error_code error;
  for (fs::directory_iterator it(stem.utf8_string(), error), end; !error && it != end;
       it.increment(error)) {
    const wxString name = wxString::FromUTF8(it->path().filename().string());
    if (name.Lower() != kLauncherUpdater) continue;
    const wxString found = stem + kSeparator + name;
    if (wxFileExists(found)) return found;
  }
  return wxString();
}

// After a ".upd" package: the package file and the directory it was
// unpacked into go, and the directory that held them only when nothing else
// is left there. A manifest's `local` may name a game directory (data/):
// nothing else in it is touched, and no link is followed.
void RemoveUnpackedPackage(const wxString& programDir, RunLogHandle& log, const wxString& path,
                           const wxString& stem) {
  errno = 0;
  bool removed = unlink(path.utf8_str()) == 0 || errno == ENOENT;
  int code = removed ? 0 : errno;
  wxString failed = removed ? wxString() : path;
  if (!HoldsProgramDirectory(programDir, stem) &&
      !platform::DeleteRecursively(stem.utf8_string())) {
    removed = false;
    code = errno;
    failed = stem;
  }
  if (!removed) {
    RUNLOG_ERROR_TIGHT(log, 1992, "delete temp directory failure because %d !", code);
    RUNLOG_CAUSE(
        log, 1992,
        wxString::FromUTF8(
            platform::Error::FromErrno("cannot delete " + failed.utf8_string(), code).message));
  }
  const wxString holding = HoldingDirectory(path);
  // rmdir removes only an empty directory, and never one through a link.
  if (path.Contains(kSeparator) && !HoldsProgramDirectory(programDir, holding)) {
    rmdir(holding.utf8_str());
  }
}

wxString InstalledGameVersion() {
  auto& versions = VersionConfig();
  auto lock = versions.Lock();
  return versions.Version.Clone();
}

// Handles one update package (".upd" or, with `isTre`, ".tre") that the
// library has stored and verified: unpacks it beside itself, records a
// self-update when it brings the launcher's updater, otherwise installs it
// with the game stopped, and clears a ".upd" package away afterwards.
void HandleFetchedPackage(LauncherFrameWnd& frame, const wxString& path, bool isTre) {
  // Once shut-down has begun nothing is unpacked or installed: the process
  // may end at any moment. The versions stay, so the next start fetches it.
  if (WorkerStopRequested()) {
    frame.packageFailed = true;
    return;
  }
  const wxString stem = path.BeforeLast('.');
  const auto progress = [&frame](float percent) { ShowUpdateProgress(frame, percent); };

  wxString unzipStem = stem;
  DoubleBackslashes(unzipStem);
  const platform::Status unpacked =
      WouldUnpackIntoInstallation(frame.programDir, path, stem)
          ? platform::Error{"package " + path.utf8_string() +
                            " would unpack into a directory of the installation"}
          : UnpackPackage(unzipStem, isTre, progress);
  if (!unpacked) {
    RUNLOG_ERROR(frame.logTarget, 1967, "unzip files failure!");
    RUNLOG_CAUSE(frame.logTarget, 1967, wxString::FromUTF8(unpacked.error().message));
    GiveUpUpdate(frame);
    return;
  }

  // A package that brings a new launcher is left to its own updater, which
  // starts once the version step is done.
  const wxString updater = FindLauncherUpdater(stem);
  if (!updater.empty()) {
    StopRunningGame();
    frame.launcherUpdaterPath = updater;
    frame.launcherPackageDir = stem + kSeparator;
    frame.launcherUpdatePending = true;
    return;
  }

  // A tree that cannot be measured is not installed, nor is one while the
  // game could not be stopped: the package counts as failed, so its set's
  // version is not recorded.
  const std::optional<uint32_t> total = TreeSize(stem);
  if (total) {
    frame.installTotalBytes = *total;
    frame.installDoneBytes = 0;
  }
  if (!total || !StopRunningGame()) {
    frame.packageFailed = true;
  } else {
    // The merges it made are recorded for the version still installed, so
    // that applying its set again does not merge them a second time.
    const InstallTarget target{frame.programDir, frame.logTarget, frame.installTotalBytes,
                               frame.installDoneBytes};
    const platform::Status installed = InstallPackage(
        target, stem, stem, isTre, progress, {InstalledGameVersion(), PackageFingerprint(path)});
    if (!installed) {
      RUNLOG_ERROR(frame.logTarget, 1953, "install update files failure!");
      RUNLOG_CAUSE(frame.logTarget, 1953, wxString::FromUTF8(installed.error().message));
      GiveUpUpdate(frame);
      return;
    }
  }

  // Once a self-update is pending its package directory must stay.
  if (frame.launcherUpdatePending) return;
  if (!isTre) RemoveUnpackedPackage(frame.programDir, frame.logTarget, path, stem);
}

void OnFetchedFile(LauncherFrameWnd& frame, const wxString& path) {
  // Package types are told apart by their suffix, in any letter case as
  // Windows reads a publisher's names.
  const wxString lower = path.Lower();
  const bool isUpd = lower.EndsWith(".upd");
  const bool isTre = !isUpd && lower.EndsWith(".tre");
  frame.installTotalBytes = 0;
  frame.installDoneBytes = 0;
  if (isUpd || isTre) HandleFetchedPackage(frame, path, isTre);
}

// One version step is done: keep the version reached, on disk and on screen.
// After a failed package the installed versions are left as they are.
void OnVersionStepDone(LauncherFrameWnd* frame, LivePatchHolder& holder, bool launcherSet) {
  if (frame && frame->packageFailed) {
    // The failed set is not recorded, but a launcher update that arrived
    // whole still takes over: a package the running launcher cannot install
    // must not keep it from being replaced for good.
    HandOverToLauncherUpdater(*frame, launcherSet ? holder.GetLauncherVersion() : wxString());
    return;
  }
  // Ask the library before taking the settings lock: the holder's lock
  // always comes first.
  const wxString reached = launcherSet ? holder.GetLauncherVersion() : holder.GetCurrentVersion();
  if (launcherSet && frame && frame->launcherUpdatePending) {
    // Its updater installs this launcher, and records the version then.
    ShowInstalledVersion(*frame, reached);
    HandOverToLauncherUpdater(*frame, reached);
    return;
  }
  auto& versions = VersionConfig();
  {
    auto lock = versions.Lock();
    (launcherSet ? versions.LVersion : versions.Version) = reached.Clone();
  }
  if (frame) ShowInstalledVersion(*frame, reached);
  // Whatever the set brought is on disk before its version is recorded; a
  // version whose files may not be there is not recorded.
  if (!frame || SyncFilesystemOf(frame->programDir)) {
    if (versions.Save() && frame && !launcherSet) ForgetApplied(frame->programDir);
  }
  if (frame) HandOverToLauncherUpdater(*frame, wxString());
}

void OnUpdateDone(LauncherFrameWnd* frame) {
  if (!frame) return;
  frame->updateNeeded = false;
  ShowUpdateProgress(*frame, kUpdateDonePercent);
  wxString installed;
  {
    auto& versions = VersionConfig();
    auto lock = versions.Lock();
    installed = versions.Version.Clone();
  }
  ShowInstalledVersion(*frame, installed);
  ApplyEnterGameRule(*frame);
}

}  // namespace

void OnPatchStatus(const wchar_t* filePath, int32_t /*done*/, int32_t /*total*/, bool finished,
                   void* user, bool launcherSet, bool /*flag*/) {
  if (!user) return;
  LauncherFrameWnd* frame = g_pFrame.load();
  if (filePath) {
    // The library reuses its buffer for the next file: copy the path now.
    if (frame) OnFetchedFile(*frame, wxString(filePath));
  } else if (!finished) {
    OnVersionStepDone(frame, *static_cast<LivePatchHolder*>(user), launcherSet);
  } else {
    OnUpdateDone(frame);
  }
}

int OnPatchProgress(void* /*clientData*/, double downloadTotal, double downloaded,
                    double /*uploadTotal*/, double /*uploaded*/) {
  if (WorkerStopRequested()) return 1;
  // A total that is 0, negative or not a number leaves the display alone.
  if (downloadTotal > 0) {
    double share = downloaded / downloadTotal * 100.0;
    // A nonsense count from the transfer must not overflow the conversion.
    if (!(share >= 0.0)) share = 0.0;
    if (share > kLargestPercent) share = kLargestPercent;
    const int percent = static_cast<int>(share);
    if (LauncherFrameWnd* frame = g_pFrame.load()) {
      ShowUpdateProgress(*frame, static_cast<float>(percent));
    }
  }
  return 0;
}
