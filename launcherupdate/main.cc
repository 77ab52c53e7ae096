// launcherupdate.exe: the launcher's self-update program. It comes inside a
// launcher update package; the launcher starts it with one parameter string
// (a double quote, the unpacked package directory, "*", the program
// directory) and ends. It waits until the launcher has ended, copies the
// package's files over the program directory, records the launcher version
// the launcher noted for it, removes the package directory and becomes the
// launcher again.
//
// Exit status, when it does not become the launcher: 0 when a launcher is
// running already, 1 for an unusable parameter string, 3 when the launcher
// cannot be started.
#include <limits.h>
#include <linux/close_range.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "launcherupdate/launcher_process.h"
#include "launcherupdate/package_install.h"
#include "launcherupdate/update_log.h"
#include "launcherupdate/update_parameters.h"
#include "launcherupdate/version_record.h"

namespace {

using namespace launcher_update;

constexpr int kLauncherRunsAlready = 0;
constexpr int kBadParameters = 1;
constexpr int kCannotStartLauncher = 3;

// Tells the launcher we start again that the update failed a moment ago
// (launcher/update/launcher_handover.h reads it).
constexpr char kUpdateFailedVariable[] = "VELMOR_LAUNCHER_UPDATE_FAILED";

// Far beyond the launcher's own bounded shut-down.
constexpr std::chrono::seconds kLauncherEndLimit{60};

std::optional<std::string> CanonicalDirectory(const std::string& path) {
  char resolved[PATH_MAX];
  struct stat info {};
  if (!realpath(path.c_str(), resolved) || stat(resolved, &info) != 0 || !S_ISDIR(info.st_mode))
    return std::nullopt;
  return std::string(resolved);
}

// The package as a directory strictly inside the program directory, after
// links and dots are resolved: nothing outside the installation is copied
// from or deleted.
std::optional<std::string> PackageInside(const std::string& packageDir,
                                         const std::string& programDir) {
  const std::optional<std::string> package = CanonicalDirectory(packageDir);
  const std::string prefix = programDir == "/" ? programDir : programDir + "/";
  if (!package || package->size() <= prefix.size() || package->compare(0, prefix.size(), prefix))
    return std::nullopt;
  return package;
}

// True when the package was installed.
bool InstallAndClearPackage(UpdateLog& log, const std::string& packageDir,
                            const std::string& programDir) {
  const std::optional<std::string> package = PackageInside(packageDir, programDir);
  if (!package) {
    log.Write("no package inside the program directory at " + packageDir);
    return false;
  }
  const std::string version = ReadNotedVersion(*package + "/");
  const InstallResult result = InstallPackage(*package, programDir);
  if (!result.ok) {
    // The package stays for a look; the launcher's next check clears it.
    log.Write("nothing installed: " + result.error);
    return false;
  }
  log.Write("files installed: " + std::to_string(result.files));
  // Recorded only now that the launcher is in place: an update cut short
  // leaves the old version, and the launcher fetches its package again.
  const std::string programPath = programDir == "/" ? programDir : programDir + "/";
  if (!version.empty()) {
    log.Write(RecordLauncherVersion(programPath, version)
                  ? "recorded launcher version " + version
                  : "cannot record launcher version " + version);
  }
  std::error_code error;
  std::filesystem::remove_all(*package, error);
  log.Write(error ? "cannot remove the package directory: " + error.message()
                  : "removed the package directory");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // One string from the launcher; a shell that split it gets it joined again.
  std::string text;
  for (int i = 1; i < argc; ++i) text += (i > 1 ? " " : "") + std::string(argv[i]);
  const std::optional<UpdateParameters> parameters = ParseUpdateParameters(text);
  const std::optional<std::string> programDir =
      parameters ? CanonicalDirectory(parameters->programDir) : std::nullopt;
  if (!programDir) {
    std::fprintf(stderr, "launcherupdate: unusable parameters\n");
    return kBadParameters;
  }

  UpdateLog log(*programDir == "/" ? *programDir : *programDir + "/");
  log.Write("update of " + *programDir + " from " + parameters->packageDir);
  const std::string launcher = (std::filesystem::path(*programDir) / kLauncherProgram).string();
  log.Write(WaitForLauncherToEnd(launcher, kLauncherEndLimit)
                ? "the launcher has ended"
                : "the launcher still runs; updating all the same");

  const bool installed = InstallAndClearPackage(log, parameters->packageDir, *programDir);

  // The update road's lock came with us from the launcher; the launcher we
  // start takes it anew.
  close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
  if (IsLauncherRunning(launcher)) {
    log.Write("a launcher runs already; not started again");
    return kLauncherRunsAlready;
  }
  // A launcher started after a failed update would hand over again at once.
  if (!installed) setenv(kUpdateFailedVariable, "1", 1);
  // This process becomes the launcher, so whoever waits for it knows its id.
  log.Write("starting the launcher as process " + std::to_string(getpid()));
  if (chdir(programDir->c_str()) == 0) {
    std::string program = launcher;
    char* launcherArgv[] = {program.data(), nullptr};
    execv(program.c_str(), launcherArgv);
  }
  log.Write(std::string("cannot start the launcher: ") + std::strerror(errno));
  return kCannotStartLauncher;
}
