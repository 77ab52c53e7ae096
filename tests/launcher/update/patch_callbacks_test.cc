// The callbacks the update library makes while it applies patches, called
// here directly as the library would.
#include "launcher/update/patch_callbacks.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <limits>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "download/update_temporaries.h"
#include "launcher/packages/installation.h"
#include "launcher/packages/package_extraction.h"
#include "launcher/system/my_thread.h"
#include "launcher/update/version_check.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/control.h"
#include "skinui/progress.h"
#include "tests/launcher/packages/install_place.h"
#include "tests/launcher/update_road_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/wait_until.h"

namespace update_road_testing {
namespace {

constexpr char kUnzipFailure[] = "unzip files failure!";
constexpr char kInstallFailure[] = "install update files failure!";

class PatchCallbacksTest : public UpdateRoadTest {
 protected:
  void SetUp() override {
    UpdateRoadTest::SetUp();
    frame.updateWnd = &panel;
    frame.enterGameBtn = &enterGame;
    panel.progressCtrl = &progress;
    panel.progressTxt = &progressTxt;
    panel.curVersionTxt = &versionTxt;
    progress.SetMaxValue(1000);
  }
  void TearDown() override {
    frame.updateWnd = nullptr;
    frame.enterGameBtn = nullptr;
    UpdateRoadTest::TearDown();
  }

  // The library reporting a fetched file (`path` absolute or as given).
  void Fetched(const std::string& path, LivePatchHolder* holder = &TheLivePatchHolder()) {
    const std::wstring wide = wxString::FromUTF8(path).ToStdWstring();
    OnPatchStatus(wide.c_str(), 1, 1, true, holder, false, false);
  }
  // The library reporting a finished version step.
  void StepDone(bool launcherStep = false) {
    OnPatchStatus(nullptr, 0, 1, false, &TheLivePatchHolder(), launcherStep, false);
  }

  // The manifest loaded into the real library, as the version check does.
  void LoadManifest(const std::string& sets, const std::string& version) {
    ServeManifest(sets);
    ASSERT_TRUE(LoadLivePatch(TheLivePatchHolder(), frame.programDir));
    ASSERT_TRUE(TheLivePatchHolder().LoadManifest(Url("/up/manifest.xml"), wxString(version)));
  }

  // An update the library gives up: the game may be entered again.
  void ExpectGivenUp() {
    EXPECT_FALSE(frame.updateNeeded);
    EXPECT_TRUE(EnterGameEnabled());
  }

  // What the panel and the button show once the handed-over changes ran.
  bool EnterGameEnabled() {
    RunHandedChanges();
    return enterGame.IsEnabled();
  }
  CStdString ProgressText() {
    RunHandedChanges();
    return progressTxt.GetText();
  }
  int ProgressValue() {
    RunHandedChanges();
    return progress.GetValue();
  }
  CStdString VersionText() {
    RunHandedChanges();
    return versionTxt.GetText();
  }

  CControlUI enterGame;
  CProgressUI progress;
  CControlUI progressTxt;
  CControlUI versionTxt;
  UIUpdateWnd panel;
};

TEST_F(PatchCallbacksTest, ProgressShowsTheTruncatedShareAndIgnoresUnusableTotals) {
  EXPECT_EQ(OnPatchProgress(nullptr, 1000, 999, 0, 0), 0);
  EXPECT_EQ(ProgressText(), "99%");
  EXPECT_EQ(ProgressValue(), 990);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double total : {0.0, -5.0, nan}) {
    EXPECT_EQ(OnPatchProgress(nullptr, total, 10, 0, 0), 0);
    EXPECT_EQ(ProgressText(), "99%");
  }
  EXPECT_EQ(OnPatchProgress(nullptr, 10, nan, 0, 0), 0);
  EXPECT_EQ(ProgressText(), "0%");
  // Progress comes faster than a screen shows it: one change waits for the
  // UI thread, and it shows the newest share.
  for (double done : {10.0, 20.0, 30.0}) EXPECT_EQ(OnPatchProgress(nullptr, 100, done, 0, 0), 0);
  EXPECT_EQ(skinui::PumpPendingMessages(), 1);
  EXPECT_EQ(progressTxt.GetText(), "30%");
}

TEST_F(PatchCallbacksTest, OnceShutDownBeganTransfersAbortAndNoWindowIsTouched) {
  RequestWorkerStop();
  EXPECT_NE(OnPatchProgress(nullptr, 100, 50, 0, 0), 0);
  OnPatchStatus(nullptr, 0, 1, true, &TheLivePatchHolder(), false, false);
  EXPECT_EQ(ProgressText(), "");
  EXPECT_EQ(VersionText(), "");
  EXPECT_TRUE(EnterGameEnabled());  // as constructed, untouched
}

TEST_F(PatchCallbacksTest, FetchedFilesResetTheCountersAndMissingPackagesGiveUp) {
  // The package suffix is told in any letter case, as Windows reads it.
  const struct {
    const char* path;
    bool package;
  } cases[] = {{"/g/data/a.bin", false},
               {"/g/temp/p.UPD", true},
               {"/g/temp/p.Tre", true},
               {"/g/temp/p.upd", true},
               {"/g/temp/p.tre", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    frame.updateNeeded = true;
    frame.installTotalBytes = 7;
    frame.installDoneBytes = 3;
    Fetched(c.path);
    EXPECT_EQ(frame.installTotalBytes, 0u);
    EXPECT_EQ(frame.installDoneBytes, 0u);
    EXPECT_EQ(frame.updateNeeded, !c.package);
  }
  EXPECT_EQ(CountErrorLog(kUnzipFailure), 4);
  EXPECT_EQ(EntryAfterError(kUnzipFailure),
            "Error: launcher(1967): cause: /g/temp/p.upd: No such file or directory");

  // Without a user pointer nothing happens.
  frame.installTotalBytes = 7;
  Fetched("/g/data/a.bin", nullptr);
  OnPatchStatus(nullptr, 0, 1, true, nullptr, false, false);
  EXPECT_EQ(frame.installTotalBytes, 7u);
}

TEST_F(PatchCallbacksTest, VersionStepsStoreAndShowTheVersionReached) {
  // Loaded against "1.2" while "1.0" is installed: the step must take the
  // library's version, not keep the installed one.
  LoadManifest(Set("patch", "1.1") + Set("patch", "1.2") + Set("Launcherpatch", "L7"), "1.2");
  StepDone();
  EXPECT_EQ(InstalledGame(), "1.2");
  EXPECT_EQ(InstalledLauncher(), "1.0");
  EXPECT_EQ(VersionText(), "1.2");

  StepDone(/*launcherStep=*/true);  // the manifest's newest launcher version
  EXPECT_EQ(InstalledLauncher(), "L7");
  EXPECT_EQ(VersionText(), "L7");
  const std::string ini = ReadFile(dir.File("version.ini"));
  EXPECT_NE(ini.find("\nVersion=1.2"), std::string::npos) << ini;
  EXPECT_NE(ini.find("LVersion=L7"), std::string::npos) << ini;
  EXPECT_TRUE(desktop.QuitRequests().empty());  // no self-update pending
}

TEST_F(PatchCallbacksTest, TheEndOfTheUpdateFollowsTheEnterGameRule) {
  for (bool complete : {true, false}) {
    SCOPED_TRACE(complete);
    SetChosenServer(ChosenServer{"10.0.0.1", "7000", complete ? "http://pay" : "", "3"});
    enterGame.SetEnabled(!complete);
    frame.updateNeeded = true;
    versionTxt.SetText("old");
    OnPatchStatus(nullptr, 0, 1, true, &TheLivePatchHolder(), false, false);
    EXPECT_FALSE(frame.updateNeeded);
    EXPECT_EQ(EnterGameEnabled(), complete);
    EXPECT_EQ(ProgressText(), "100%");
    EXPECT_EQ(ProgressValue(), 1000);
    EXPECT_EQ(VersionText(), "1.0");
  }
}

// Update packages through the real library. These tests may stop processes
// named orvo.exe: the suite's name puts them under the game-process lock.

class PatchPackageGameProcessTest : public PatchCallbacksTest {
 protected:
  // The version check and one apply, as the update thread runs them.
  bool RunUpdate() {
    if (!CheckVersion()) return false;
    LivePatchHolder& holder = TheLivePatchHolder();
    std::lock_guard<std::recursive_mutex> lock(holder.mutex);
    auto& versions = VersionConfig();
    return holder.ApplyPatches(versions.Version, versions.LVersion);
  }

  void ServePackage(const std::string& name,
                    const std::vector<std::pair<std::string, std::string>>& entries) {
    const std::string bytes = ZipBytes(entries);
    ASSERT_FALSE(bytes.empty());
    ServeFile(name, bytes);
  }

  // A package the library has just stored under the program directory.
  std::string StorePackage(const std::string& relative,
                           const std::vector<std::pair<std::string, std::string>>& entries) {
    return MakeFile(relative, ZipBytes(entries));
  }

  std::string Ini() const { return ReadFile(dir.File("version.ini")); }
};

// After a ".upd" package its file and unpacked tree go, and the directory
// that held them only when left empty: a manifest's local may name the
// player's data directory, or a link the player made to one elsewhere.
TEST_F(PatchPackageGameProcessTest, UpdPackageTakesOnlyItselfAndItsTreeWithIt) {
  testing_support::TempDir elsewhere;
  WriteFile(elsewhere.File("saved.dat"), "player's");
  ASSERT_EQ(symlink(elsewhere.path().c_str(), dir.File("linked").c_str()), 0);
  MakeFile("data/map.bin", "old map");
  MakeFile("data/player.cfg", "player's");
  ServePackage("p1.upd", {{"data/map.bin", "new map"}, {"data/extra/tile.bin", "tile"}});
  const struct {
    const char* local;
    bool holdingStays;
  } cases[] = {{"temp", false}, {"data", true}, {"linked", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.local);
    SetInstalled("1.0", "1.0");
    ServeManifest(Set("patch", "1.1", "p1.upd", c.local) + Set("Launcherpatch", "1.0"));
    frame.updateNeeded = true;
    ASSERT_TRUE(RunUpdate());
    EXPECT_EQ(ReadFile(dir.File("data/map.bin")), "new map");
    EXPECT_EQ(ReadFile(dir.File("data/extra/tile.bin")), "tile");
    EXPECT_FALSE(PathExists(dir.File(std::string(c.local) + "/p1.upd")));
    EXPECT_FALSE(PathExists(dir.File(std::string(c.local) + "/p1")));
    EXPECT_EQ(PathExists(dir.File(c.local)), c.holdingStays);
    EXPECT_NE(Ini().find("\nVersion=1.1"), std::string::npos) << Ini();
    EXPECT_FALSE(frame.updateNeeded);
    EXPECT_EQ(ProgressText(), "100%");
  }
  EXPECT_EQ(ReadFile(dir.File("data/player.cfg")), "player's");
  EXPECT_EQ(ReadFile(elsewhere.File("saved.dat")), "player's");
  EXPECT_EQ(CountErrorLog(kUnzipFailure) + CountErrorLog(kInstallFailure), 0);
  EXPECT_TRUE(desktop.QuitRequests().empty());
}

TEST_F(PatchPackageGameProcessTest, UpdPackageInTheProgramDirectoryTakesOnlyItself) {
  // Clean-up of a package stored in the program directory must not take
  // the installation with it.
  ServePackage("p6.upd", {{"data/map.bin", "new map"}});
  ServeManifest(Set("patch", "1.1", "p6.upd", ".") + Set("Launcherpatch", "1.0"));
  ASSERT_TRUE(RunUpdate());
  EXPECT_EQ(ReadFile(dir.File("data/map.bin")), "new map");
  EXPECT_TRUE(PathExists(dir.File("libTidewell.so")));
  EXPECT_NE(Ini().find("\nVersion=1.1"), std::string::npos) << Ini();
  EXPECT_FALSE(PathExists(dir.File("p6.upd")));
  EXPECT_FALSE(PathExists(dir.File("p6")));
}

TEST_F(PatchPackageGameProcessTest, TrePackageIsInstalledAndKept) {
  ServePackage("p2.tre", {{"data/sound.bin", "sound"}});
  ServeManifest(Set("patch", "1.1", "p2.tre", "temp") + Set("Launcherpatch", "1.0"));
  ASSERT_TRUE(RunUpdate());
  EXPECT_EQ(ReadFile(dir.File("data/sound.bin")), "sound");
  EXPECT_TRUE(PathExists(dir.File("temp/p2.tre")));
  EXPECT_TRUE(PathExists(dir.File("temp/p2/data/sound.bin")));
}

TEST_F(PatchPackageGameProcessTest, RunningGameIsStoppedBeforeInstalling) {
  const pid_t game = testing_support::StartSleeper(dir.path(), "orvo.exe");
  ASSERT_GT(game, 0);
  ASSERT_TRUE(testing_support::IsListedAs(game, "orvo.exe"));
  ServePackage("p3.upd", {{"orvo.exe", "new game"}});
  ServeManifest(Set("patch", "1.1", "p3.upd", "temp") + Set("Launcherpatch", "1.0"));

  const bool applied = RunUpdate();
  const bool killed = testing_support::EndedByKill(game);
  if (!killed) {
    kill(game, SIGKILL);
    waitpid(game, nullptr, 0);
  }
  ASSERT_TRUE(applied);
  EXPECT_TRUE(killed);
  EXPECT_EQ(ReadFile(dir.File("orvo.exe")), "new game");
}

TEST_F(PatchPackageGameProcessTest, PackageThatCannotBeInstalledGivesTheUpdateUp) {
  // A file where a directory with contents is installed.
  MakeFile("blocker/inside.txt");
  frame.updateNeeded = true;
  enterGame.SetEnabled(false);
  Fetched(StorePackage("temp/p5.upd", {{"blocker", "a file now"}}));
  EXPECT_EQ(CountErrorLog(kInstallFailure), 1);
  ExpectGivenUp();
  EXPECT_TRUE(PathExists(dir.File("blocker/inside.txt")));
  EXPECT_TRUE(PathExists(dir.File("temp/p5/blocker")));  // left for a look
}

TEST_F(PatchPackageGameProcessTest, PackageFetchedAfterShutDownBeganIsLeftForTheNextStart) {
  const std::string package = StorePackage("temp/p7.upd", {{"data/map.bin", "new map"}});
  RequestWorkerStop();
  Fetched(package);
  StepDone();
  EXPECT_FALSE(PathExists(dir.File("data/map.bin")));
  EXPECT_EQ(InstalledGame(), "1.0");
}

TEST_F(PatchPackageGameProcessTest, FailedPackageKeepsTheInstalledVersionsForTheNextStart) {
  // The first set's package is no zip; the library goes on with the second.
  ServeFile("bad.upd", "this is no zip archive");
  ServePackage("good.upd", {{"data/map.bin", "new map"}});
  ServeManifest(Set("patch", "1.1", "bad.upd", "temp") + Set("patch", "1.2", "good.upd", "temp") +
                Set("Launcherpatch", "1.0"));
  RunUpdate();
  EXPECT_EQ(CountErrorLog(kUnzipFailure), 1);
  EXPECT_EQ(EntryAfterError(kUnzipFailure),
            "Error: launcher(1967): cause: " + dir.File("temp/bad.upd") +
                " is not a zip archive (archive code 0x200)");
  EXPECT_FALSE(frame.updateNeeded);
  // Neither step is recorded: the next start fetches both sets again.
  EXPECT_EQ(InstalledGame(), "1.0");
  EXPECT_EQ(Ini().find("Version=1.1"), std::string::npos) << Ini();
  EXPECT_EQ(Ini().find("Version=1.2"), std::string::npos) << Ini();
}

TEST_F(PatchPackageGameProcessTest, PackageWithTheLauncherUpdaterHandsOverAfterTheStep) {
  const std::string argsFile = dir.File("updater-args.txt");
  const std::string script = "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > '" + argsFile +
                             ".part'\n"
                             "mv '" +
                             argsFile + ".part' '" + argsFile + "'\n";
  const std::string package = StorePackage(
      "temp/p4.upd", {{"launcherupdate.exe", script}, {"data/launcher.bin", "for the updater"}});
  LoadManifest(Set("patch", "1.1") + Set("Launcherpatch", "1.0"), "1.1");

  Fetched(package);
  EXPECT_TRUE(frame.launcherUpdatePending);
  // Left to the updater: nothing installed, nothing deleted, no hand-over yet.
  EXPECT_FALSE(PathExists(dir.File("data/launcher.bin")));
  EXPECT_TRUE(PathExists(package));
  EXPECT_TRUE(desktop.QuitRequests().empty());

  StepDone();
  EXPECT_EQ(InstalledGame(), "1.1");
  EXPECT_EQ(desktop.QuitRequests(), std::vector<int>{0});
  EXPECT_TRUE(WorkerStopRequested());  // nothing more is installed under the updater
  testing_support::WaitUntil([&] { return PathExists(argsFile); });
  // One argument: a double quote, the package directory, "*", ours.
  EXPECT_EQ(ReadFile(argsFile), "1\n\"" + dir.File("temp/p4/") + "*" + dir.path() + "\n");
}

TEST_F(PatchPackageGameProcessTest, LauncherUpdaterIsFoundInAnyLetterCase) {
  const std::string started = dir.File("updater-started.txt");
  const std::string package = StorePackage(
      "temp/p10.upd",
      {{"LauncherUpdate.EXE", "#!/bin/sh\ntouch '" + started + "'\n"}, {"x.bin", "x"}});
  LoadManifest(Set("patch", "1.1") + Set("Launcherpatch", "1.0"), "1.1");

  Fetched(package);
  EXPECT_EQ(frame.launcherUpdaterPath.utf8_string(), dir.File("temp/p10/LauncherUpdate.EXE"));
  EXPECT_FALSE(PathExists(dir.File("x.bin")));  // left to the updater
  StepDone();
  EXPECT_EQ(desktop.QuitRequests(), std::vector<int>{0});
  testing_support::WaitUntil([&] { return PathExists(started); });
  EXPECT_TRUE(PathExists(started));
}

TEST_F(PatchPackageGameProcessTest, DamagedEntryKeepsTheInstalledFile) {
  MakeFile("game.dat", "installed game data");
  std::string bytes = ZipBytes({{"game.dat", "new game data"}, {"other.txt", "other"}});
  // The first entry marked encrypted: it cannot be extracted.
  bytes[testing_support::FindSignatures(bytes, "PK\x03\x04")[0] + 6] |= 1;
  bytes[testing_support::FindSignatures(bytes, "PK\x01\x02")[0] + 8] |= 1;
  frame.updateNeeded = true;
  Fetched(MakeFile("temp/p7.upd", bytes));
  StepDone();
  // The package counts as failed: nothing of it is installed or recorded.
  EXPECT_EQ(ReadFile(dir.File("game.dat")), "installed game data");
  EXPECT_FALSE(PathExists(dir.File("other.txt")));
  EXPECT_EQ(CountErrorLog(kUnzipFailure), 1);
  ExpectGivenUp();
  EXPECT_EQ(InstalledGame(), "1.0");
}

// An installed index with one record, and a package whose patch index adds
// one more: applied twice for the same installed version (its set is
// applied again), the record is added once. When the player restored the
// installed files from a backup in between, the package is installed whole
// again: no record vouches for files that are not there.
TEST_F(PatchPackageGameProcessTest, PackageAppliedAgainMergesItsIndexOnce) {
  const std::string installedIndex = std::string(136, 'H') + std::string(20, 'r');
  std::string patchIndex = std::string(136, 'H') + std::string(24, 'p');
  patchIndex[136 + 20] = 99;  // targetIndex 99: a new record
  const std::vector<std::pair<std::string, std::string>> entries = {{"other.i", patchIndex},
                                                                    {"data/x.bin", "x"}};
  for (const bool restored : {false, true}) {
    SCOPED_TRACE(restored ? "restored from a backup" : "applied again");
    MakeFile("other.i", installedIndex);
    for (int run = 0; run < 2; ++run) {
      if (run == 1 && restored) {
        MakeFile("other.i", installedIndex);
        std::filesystem::remove(dir.File("data/x.bin"));
      }
      Fetched(StorePackage("temp/p11.upd", entries));
      EXPECT_EQ(ReadFile(dir.File("other.i")).size(), 136u + 2 * 20u) << run;
      EXPECT_EQ(ReadFile(dir.File("data/x.bin")), "x") << run;
    }
  }
  EXPECT_EQ(CountErrorLog(kInstallFailure), 0);
}

// Published from Windows: the package's names and del.lst words find the
// installed files in any letter case; nothing is installed beside them
// under a second spelling, and the version is recorded with the files.
TEST_F(PatchPackageGameProcessTest, WindowsMadePackageFindsTheInstalledFilesInAnyCase) {
  MakeFile("data/login.dat", "AAAA");
  MakeFile("data/login.dat.i", std::string(136, 'H') + std::string(8, '\0') + std::string(12, 'e'));
  MakeFile("old.txt", "old");
  std::string patchIndex = std::string(136, 'H') + std::string(24, '\0');
  patchIndex[136 + 4] = 2;   // length 2 at offset 0
  patchIndex[136 + 20] = 1;  // targetIndex 1: a new record
  ServePackage("Win.UPD", {{"Data/Login.DAT.I", patchIndex},
                           {"Data/Login.DAT", "zz"},
                           {"DEL.LST", "OLD.TXT"},
                           {"DATA/New.bin", "new"}});
  ServeManifest(Set("patch", "1.1", "Win.UPD", "Temp") + Set("Launcherpatch", "1.0"));
  ASSERT_TRUE(RunUpdate());
  EXPECT_EQ(ReadFile(dir.File("data/login.dat")), "AAAAzz");
  EXPECT_EQ(ReadFile(dir.File("data/login.dat.i")).size(), 136u + 2 * 20u);
  EXPECT_EQ(ReadFile(dir.File("data/New.bin")), "new");
  EXPECT_FALSE(PathExists(dir.File("old.txt")));
  for (const char* second : {"Data", "DATA", "Temp"}) EXPECT_FALSE(PathExists(dir.File(second)));
  EXPECT_NE(Ini().find("\nVersion=1.1"), std::string::npos) << Ini();
  EXPECT_EQ(CountErrorLog(kUnzipFailure) + CountErrorLog(kInstallFailure), 0);
}

// A package that is skipped counts as failed: its set's version is not
// recorded. Here its unpacked tree cannot be walked (its process may open
// too few files for the tree's depth).
TEST_F(PatchPackageGameProcessTest, SkippedPackageCountsAsFailed) {
  std::string deep;
  for (int level = 0; level < 40; ++level) deep += "d/";
  const std::string package = StorePackage("temp/p14.upd", {{deep + "f.bin", "deep"}});
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int lowestFree = dup(0);
    close(lowestFree);
    const rlimit few{static_cast<rlim_t>(lowestFree + 8), static_cast<rlim_t>(lowestFree + 8)};
    if (setrlimit(RLIMIT_NOFILE, &few) != 0) std::_Exit(2);
    Fetched(package);
    // Unpacked well, not installed, and failed.
    std::_Exit(frame.packageFailed && CountErrorLog(kUnzipFailure) == 0 &&
                       !PathExists(dir.File(deep + "f.bin"))
                   ? 0
                   : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(PatchPackageGameProcessTest, LauncherUpdateStillHandsOverWhenALaterPackageFails) {
  const std::string started = dir.File("updater-started.txt");
  const std::string updater = StorePackage(
      "temp/p12.upd", {{"launcherupdate.exe", "#!/bin/sh\ntouch '" + started + "'\n"}});
  LoadManifest(Set("patch", "1.1") + Set("Launcherpatch", "1.0"), "1.1");
  Fetched(updater);
  Fetched(MakeFile("temp/bad.upd", "no zip"));
  StepDone();
  // The set is not recorded, but the launcher is still replaced.
  EXPECT_EQ(InstalledGame(), "1.0");
  EXPECT_EQ(desktop.QuitRequests(), std::vector<int>{0});
  testing_support::WaitUntil([&] { return PathExists(started); });
  EXPECT_TRUE(PathExists(started));
}

// A process installing a package is killed in the middle; the next start
// removes what it left half-done and installs the package whole.
TEST_F(PatchPackageGameProcessTest, InstallationKilledMidWayIsCompletedByTheNextStart) {
  MakeFile("data/a.bin", "old a");
  MakeFile("data/b.bin", "old b");
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"data/a.bin", "new a"}, {"data/b.bin", "new b"}, {"data/c.bin", "new c"}};
  testing_support::TempDir work;
  WriteFile(work.File("p13.upd"), ZipBytes(entries));
  ASSERT_TRUE(UnzipPackage(wxString::FromUTF8(work.File("p13")), false, nullptr));

  int signal[2];
  ASSERT_EQ(pipe(signal), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InstallPlace installer;  // no run log in the child
    installer.programDir = frame.programDir;
    int counted = 0;
    const wxString stem = wxString::FromUTF8(work.File("p13"));
    InstallUpdateFiles(installer.Target(), stem, stem, false, [&](float) {
      // The second entry is counted after the first was written: stop here.
      if (++counted == 2) {
        const char byte = 1;
        if (write(signal[1], &byte, 1) != 1) std::_Exit(2);
        for (;;) pause();
      }
    });
    std::_Exit(3);
  }
  close(signal[1]);
  pollfd ready{signal[0], POLLIN, 0};
  const bool midWay = poll(&ready, 1, 10000) == 1;
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(signal[0]);
  ASSERT_TRUE(midWay);
  EXPECT_EQ(ReadFile(dir.File("data/a.bin")), "old a");
  EXPECT_EQ(ReadFile(dir.File("data/b.bin")), "old b");
  EXPECT_FALSE(PathExists(dir.File("data/c.bin")));

  // Started again: the leftovers go, and the package comes whole.
  RemoveNotedTemporaries(dir.path());
  ServePackage("p13.upd", entries);
  ServeManifest(Set("patch", "1.1", "p13.upd", "temp") + Set("Launcherpatch", "1.0"));
  ASSERT_TRUE(RunUpdate());
  for (const auto& [name, contents] : entries) EXPECT_EQ(ReadFile(dir.File(name)), contents);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  for (const std::string& name : names) EXPECT_EQ(name.find(".install.part"), std::string::npos);
  EXPECT_FALSE(PathExists(dir.File(kTemporaryLedgerFile)));
  EXPECT_EQ(InstalledGame(), "1.1");
}

TEST_F(PatchPackageGameProcessTest, PackageNamedAfterAnInstalledDirectoryIsNotUnpacked) {
  // data.upd in the program directory would unpack into, install from and
  // then delete the game's own data directory.
  const std::string package = StorePackage("data.upd", {{"map.bin", "new map"}});
  MakeFile("data/map.bin", "old map");
  frame.updateNeeded = true;
  enterGame.SetEnabled(false);
  Fetched(package);
  EXPECT_EQ(CountErrorLog(kUnzipFailure), 1);
  ExpectGivenUp();
  EXPECT_EQ(ReadFile(dir.File("data/map.bin")), "old map");
  EXPECT_FALSE(PathExists(dir.File("map.bin")));
  EXPECT_TRUE(PathExists(package));
}

TEST_F(PatchPackageGameProcessTest, UpdPathWithoutSeparatorTakesOnlyThePackageAndItsTree) {
  // The library may name a package relative to the working directory.
  testing_support::TempDir work;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(work.path());
  WriteFile(work.File("p8.upd"), ZipBytes({{"bare.txt", "bare"}}));
  Fetched("p8.upd");
  std::filesystem::current_path(before);
  EXPECT_EQ(ReadFile(dir.File("bare.txt")), "bare");
  EXPECT_FALSE(PathExists(work.File("p8.upd")));
  EXPECT_FALSE(PathExists(work.File("p8")));
  EXPECT_TRUE(PathExists(work.path()));
}

TEST_F(PatchPackageGameProcessTest, InstallProgressReachesThePanel) {
  // 49 bytes of a file, and a new directory whose 51 bytes count as 1 when
  // it is copied whole: 50 of 100, where unpacking alone would show 100%.
  Fetched(StorePackage("temp/p9.upd",
                       {{"a.bin", std::string(49, 'a')}, {"fresh/b.bin", std::string(51, 'b')}}));
  EXPECT_EQ(frame.installTotalBytes, 100u);
  EXPECT_EQ(frame.installDoneBytes, 50u);
  EXPECT_EQ(ProgressText(), "50%");
  EXPECT_EQ(ProgressValue(), 500);
}

}  // namespace
}  // namespace update_road_testing
