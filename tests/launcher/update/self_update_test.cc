// The self-update program launcherupdate.exe on its own (real runs with a
// stand-in launcher), and the whole self-update road through the real
// launcher program, update library and updater against a loopback server.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "download/update_temporaries.h"
#include "tests/support/child_process.h"
#include "tests/support/http_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/support/zip_builder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::PathExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr char kUpdater[] = VELMOR_LAUNCHER_UPDATE_PROGRAM;

void WriteExecutable(const std::string& path, const std::string& text) {
  WriteFile(path, text);
  chmod(path.c_str(), 0755);
}

// Leftovers of an interrupted copy: files staged beside their targets, or
// the ledger that names them.
bool HoldsStagedFiles(const std::string& dir) {
  std::error_code error;
  for (fs::recursive_directory_iterator it(dir, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name == "update.temporaries" || name.find(".install.part") != std::string::npos)
      return true;
  }
  return false;
}

bool WaitFor(const std::function<bool()>& done, int seconds) {
  return testing_support::WaitUntil(done, std::chrono::seconds(seconds));
}

// A child of ours that a failed assertion would leave running is ended.
struct ReapAtEnd {
  pid_t pid;
  ~ReapAtEnd() {
    if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

struct UpdaterCase {
  const char* name;
  // The parameter string for the program directory and package directory.
  std::function<std::string(const std::string& program, const std::string& package)> parameters;
  bool blockTarget;  // a directory stands where the package has a file
  int exitStatus;
  bool installed;
  bool restarted;
};

TEST(LauncherUpdateProgramTest, InstallsThePackageAllOrNothingAndStartsTheLauncherAgain) {
  const auto usual = [](const std::string& program, const std::string& package) {
    return "\"" + package + "*" + program;
  };
  const UpdaterCase cases[] = {
      {"usual", usual, false, 0, true, true},
      {"closing quote tolerated",
       [&](const std::string& p, const std::string& k) { return usual(p, k) + "\""; }, false, 0,
       true, true},
      // As the launcher names a program directory that is not UTF-8.
      {"relative to the launcher's directory",
       [](const std::string& program, const std::string& package) {
         const fs::path cwd = fs::current_path();
         return "\"" + fs::relative(package, cwd).string() + "/*" +
                fs::relative(program, cwd).string() + "/";
       },
       false, 0, true, true},
      {"blocked target", usual, true, 0, false, true},
      {"package outside through ..",
       [](const std::string& program, const std::string&) {
         return "\"" + program + "../outside/*" + program;
       },
       false, 0, false, true},
      {"no quote", [](const std::string& p, const std::string& k) { return k + "*" + p; }, false, 1,
       false, false},
      {"no star", [](const std::string& p, const std::string& k) { return "\"" + k + p; }, false, 1,
       false, false},
      {"package not inside",
       [](const std::string& program, const std::string&) { return "\"/tmp/*" + program; }, false,
       1, false, false},
  };
  const mode_t previousUmask = umask(022);
  for (const UpdaterCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::TempDir root;
    const std::string program = root.File("game/");
    const std::string package = program + "temp/launcher/";
    fs::create_directories(package + "sub");
    fs::create_directories(root.File("outside"));
    // The launcher started again says whether it was told of a failure.
    const std::string says = "echo \"$0 ${VELMOR_LAUNCHER_UPDATE_FAILED:+failed}\"";
    WriteExecutable(program + "launcher", "#!/bin/sh\n" + says + " > restarted.txt\n");
    WriteFile(program + "a.txt", "old");
    const std::string versions =
        "[Version]\r\nVersion=1.0\r\nLVersion=1.0\r\n[Other]\r\nLVersion=x\r\n";
    WriteFile(program + "version.ini", versions);
    WriteFile(package + "a.txt", "new");
    WriteFile(package + "sub/b.txt", "b");
    // The new launcher comes without execute permission, as unpacked.
    WriteFile(package + "launcher", "#!/bin/sh\necho new > restarted.txt\n");
    fs::copy_file(kUpdater, package + "launcherupdate.exe");
    WriteFile(package + "launcherupdate.version", "2.5");  // noted by the launcher
    // A new program with a set-user-id bit, a file writable by all.
    WriteFile(package + "tool", "#!/bin/sh\n");
    chmod((package + "tool").c_str(), 04755);
    WriteFile(package + "shared.txt", "s");
    chmod((package + "shared.txt").c_str(), 0666);
    WriteFile(root.File("outside/a.txt"), "outside");
    if (c.blockTarget) fs::create_directories(program + "sub/b.txt");

    const pid_t pid = testing_support::StartProgram({kUpdater, c.parameters(program, package)});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(testing_support::WaitForExit(pid, 30), c.exitStatus);

    EXPECT_EQ(ReadFile(program + "a.txt"), c.installed ? "new" : "old");
    EXPECT_EQ(PathExists(package), !c.installed);
    EXPECT_FALSE(HoldsStagedFiles(program));
    EXPECT_FALSE(PathExists(program + "launcherupdate.exe"));
    EXPECT_FALSE(PathExists(program + "launcherupdate.version"));
    EXPECT_EQ(ReadFile(root.File("outside/a.txt")), "outside");
    // The launcher version is recorded once, and only once, it is in place.
    EXPECT_EQ(ReadFile(program + "version.ini"),
              c.installed ? "[Version]\r\nVersion=1.0\r\nLVersion=2.5\r\n[Other]\r\nLVersion=x\r\n"
                          : versions);
    EXPECT_EQ(ReadFile(program + "restarted.txt"), !c.restarted  ? ""
                                                   : c.installed ? "new\n"
                                                                 : program + "launcher failed\n");
    if (c.installed) {
      EXPECT_EQ(ReadFile(program + "sub/b.txt"), "b");
      EXPECT_EQ(fs::status(program + "launcher").permissions() & fs::perms::owner_exec,
                fs::perms::owner_exec);
      EXPECT_EQ(fs::status(program + "tool").permissions(), static_cast<fs::perms>(0755));
      EXPECT_EQ(fs::status(program + "shared.txt").permissions(), static_cast<fs::perms>(0644));
    }
  }
  umask(previousUmask);
}

TEST(LauncherUpdateProgramTest, WaitsUntilTheLauncherHasEnded) {
  testing_support::TempDir root;
  const std::string program = root.File("game/");
  const std::string package = program + "temp/launcher/";
  fs::create_directories(package);
  WriteFile(program + "a.txt", "old");
  WriteFile(package + "a.txt", "new");
  // A running program under the launcher's name in the program directory.
  const pid_t launcher = testing_support::StartSleeper(program, "launcher");
  ASSERT_GT(launcher, 0);
  const ReapAtEnd launcherAtEnd{launcher};
  ASSERT_TRUE(testing_support::IsListedAs(launcher, "launcher"));
  const pid_t updater = testing_support::StartProgram({kUpdater, "\"" + package + "*" + program});
  ASSERT_GT(updater, 0);
  const ReapAtEnd updaterAtEnd{updater};
  ASSERT_TRUE(WaitFor(
      [&] {
        return ReadFile(program + "launcherupdate.log").find("update of") != std::string::npos;
      },
      30));
  EXPECT_EQ(ReadFile(program + "launcherupdate.log").find("has ended"), std::string::npos);
  EXPECT_EQ(ReadFile(program + "a.txt"), "old");

  kill(launcher, SIGKILL);
  EXPECT_TRUE(testing_support::EndedByKill(launcher));
  // It then starts the "launcher" again: the sleeper, which ends at once.
  EXPECT_TRUE(testing_support::WaitForExit(updater, 30).has_value());
  EXPECT_NE(ReadFile(program + "launcherupdate.log").find("the launcher has ended"),
            std::string::npos);
  EXPECT_EQ(ReadFile(program + "a.txt"), "new");
}

// Killed while it stages its copies: nothing of the package is in place, no
// launcher version is recorded, and what it staged is named in the ledger
// that the launcher's next start sweeps.
TEST(LauncherUpdateProgramTest, KilledWhileStagingLeavesNothingForGood) {
  testing_support::TempDir root;
  const std::string program = root.File("game/");
  const std::string package = program + "temp/launcher/";
  fs::create_directories(package);
  const std::string versions = "[Version]\nVersion=1.0\nLVersion=1.0\n";
  WriteFile(program + "version.ini", versions);
  WriteFile(package + "launcherupdate.version", "2.5");
  // Enough files, each written through to the disk, to be caught midway.
  for (int i = 0; i < 400; ++i) WriteFile(package + "f" + std::to_string(i), "new");
  const pid_t updater = testing_support::StartProgram({kUpdater, "\"" + package + "*" + program});
  ASSERT_GT(updater, 0);
  const ReapAtEnd updaterAtEnd{updater};
  ASSERT_TRUE(WaitFor([&] { return PathExists(program + "update.temporaries"); }, 30));
  kill(updater, SIGKILL);
  ASSERT_FALSE(testing_support::WaitForExit(updater, 10).has_value());  // ended by the kill

  EXPECT_TRUE(HoldsStagedFiles(program));
  EXPECT_FALSE(PathExists(program + "f399"));
  EXPECT_EQ(ReadFile(program + "version.ini"), versions);
  RemoveNotedTemporaries(program);  // as the launcher's next start does
  EXPECT_FALSE(HoldsStagedFiles(program));
}

// Every file of the program directory of the build, copied (not linked):
// the launcher's directory is where its executable really lies.
void CopyProgramDirectory(const std::string& target) {
  for (const fs::directory_entry& entry : fs::directory_iterator(VELMOR_PROGRAM_DIR)) {
    if (entry.is_regular_file())
      fs::copy_file(entry.path(), target + entry.path().filename().string());
  }
}

// Serves a manifest with a game set 1.1 (a package with data/game.txt) and
// a launcher set 1.1 whose package brings `updater`, the launcher itself and
// a file of its own, to a fresh copy of the program directory (in a
// directory named `name` when given) with versions 1.0.
struct SelfUpdatePlace {
  explicit SelfUpdatePlace(const std::string& updater, const std::string& name = "") {
    program = name.empty() ? root.path() : root.File(name + "/");
    fs::create_directories(program);
    CopyProgramDirectory(program);
    launcherBytes = ReadFile(program + "launcher");
    WriteFile(program + "orvo.ini", "[Setup]\nServerAddr=\nServerSid=\n");
    WriteFile(program + "version.ini", "[Version]\nVersion=1.0\nLVersion=1.0\n");
    WriteFile(program + "Do.ini", "[Addr]\nServerListUrl1=" + server.Url("/ServerList.xml") +
                                      "\nServerListUrl2=\nUpdateVersionUrl1=" +
                                      server.Url("/update.xml") + "\nUpdateVersionUrl2=\n");
    server.Serve("/update.xml",
                 {200,
                  "<update><patch><version value=\"1.1\"/><filedetails name=\"game.upd\" "
                  "url=\"game.upd\" local=\"temp\"/></patch><Launcherpatch>"
                  "<version value=\"1.1\"/><filedetails name=\"launcher.upd\" url=\"launcher.upd\" "
                  "local=\"temp\"/></Launcherpatch></update>"});
    Package("/game.upd", {testing_support::UnixEntry("data/game.txt", "game 1.1", 0100644)});
    Package("/launcher.upd", {testing_support::UnixEntry("launcherupdate.exe", updater, 0100755),
                              testing_support::UnixEntry("launcher", launcherBytes, 0100644),
                              testing_support::UnixEntry("data/launcher.txt", "1.1", 0100644)});
  }

  void Package(const std::string& path, const std::vector<testing_support::ZipEntrySpec>& entries) {
    const std::string package = root.File("package.zip");
    EXPECT_TRUE(testing_support::WriteZipArchive(package, entries));
    server.Serve(path, {200, ReadFile(package)});
    fs::remove(package);
  }

  // Runs the launcher until it ends (by itself, or after `autocloseMs`).
  std::optional<int> RunLauncher(const char* autocloseMs) {
    setenv("VELMOR_LAUNCHER_AUTOCLOSE_MS", autocloseMs, 1);
    const pid_t pid = testing_support::StartProgram({program + "launcher"});
    unsetenv("VELMOR_LAUNCHER_AUTOCLOSE_MS");
    if (pid <= 0) return std::nullopt;
    return testing_support::WaitForExit(pid, 40);
  }

  std::string File(const std::string& relative) const { return program + relative; }

  testing_support::LoopbackHttpServer server;
  testing_support::TempDir root;
  std::string program;  // ends with "/"
  std::string launcherBytes;
};

// Also in a program directory whose name is not UTF-8 (GBK, from an archive
// made on Chinese Windows): both packages are fetched and installed there.
TEST(SelfUpdateTest, LauncherHandsOverAndComesBackUpdated) {
  for (const std::string name : {"", "\xd3\xce\xcf\xb7"}) {
    SCOPED_TRACE(name.empty() ? "plain directory" : "GBK directory name");
    SelfUpdatePlace place(ReadFile(kUpdater), name);
    ASSERT_TRUE(place.server.running());
    EXPECT_EQ(place.RunLauncher("30000"), 0);  // ends once it has handed over

    // The updater has become the launcher again; it says which process.
    pid_t second = -1;
    const std::regex started("starting the launcher as process ([0-9]+)");
    ASSERT_TRUE(WaitFor(
        [&] {
          std::smatch match;
          const std::string log = ReadFile(place.File("launcherupdate.log"));
          if (!std::regex_search(log, match, started)) return false;
          second = std::stoi(match[1]);
          return true;
        },
        20))
        << ReadFile(place.File("launcherupdate.log")) << ReadFile(place.File("run.log"));
    EXPECT_TRUE(WaitFor(
        [&] {
          return ReadFile(place.File("run.log")).find("The current is the latest version") !=
                 std::string::npos;
        },
        30))
        << ReadFile(place.File("run.log"));
    kill(second, SIGTERM);
    EXPECT_TRUE(testing_support::WaitUntilGone(second, 15));

    EXPECT_EQ(ReadFile(place.File("data/game.txt")), "game 1.1");
    EXPECT_EQ(ReadFile(place.File("data/launcher.txt")), "1.1");
    EXPECT_EQ(ReadFile(place.File("launcher")), place.launcherBytes);
    EXPECT_FALSE(PathExists(place.File("temp/launcher")));
    EXPECT_FALSE(PathExists(place.File("launcherupdate.exe")));
    EXPECT_EQ(ReadFile(place.File("version.ini")), "[Version]\nVersion=1.1\nLVersion=1.1\n");
  }
}

// An updater that cannot run, or runs and installs nothing, never leaves the
// new launcher version recorded: the next start fetches the package again.
// One that cannot even start keeps the launcher running, update given up.
TEST(SelfUpdateTest, FailingUpdaterLeavesTheOldLauncherVersion) {
  const struct {
    const char* name;
    std::string updater;
    bool starts;
  } cases[] = {
      {"empty file", "", false},
      {"text file", "this is no program\n", false},
      {"fails at once", "#!/bin/sh\nexit 1\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SelfUpdatePlace place(c.updater);
    ASSERT_TRUE(place.server.running());
    // A launcher that cannot hand over stays until it is closed.
    EXPECT_EQ(place.RunLauncher("3000"), 0);
    const std::string runLog = ReadFile(place.File("run.log"));
    EXPECT_EQ(runLog.find("cannot start the launcher's updater") != std::string::npos, !c.starts)
        << runLog;
    EXPECT_EQ(place.server.RequestCount("/launcher.upd"), 1);
    EXPECT_EQ(ReadFile(place.File("version.ini")), "[Version]\nVersion=1.1\nLVersion=1.0\n");
    EXPECT_FALSE(PathExists(place.File("data/launcher.txt")));
  }
}

}  // namespace
