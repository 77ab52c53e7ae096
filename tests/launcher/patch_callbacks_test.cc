// The callbacks the update library makes while it applies patches, called
// here directly as the library would.
#include "launcher/patch_callbacks.h"

#include <signal.h>
#include <sys/wait.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "launcher/my_thread.h"
#include "launcher/version_check.h"
#include "launcher/windows/update_wnd.h"
#include "platform/process.h"
#include "skinui/control.h"
#include "skinui/progress.h"
#include "tests/launcher/update_road_fixture.h"
#include "tests/support/child_process.h"

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

  CControlUI enterGame;
  CProgressUI progress;
  CControlUI progressTxt;
  CControlUI versionTxt;
  UIUpdateWnd panel;
};

TEST_F(PatchCallbacksTest, ProgressShowsTheTruncatedShare) {
  EXPECT_EQ(OnPatchProgress(nullptr, 1000, 999, 0, 0), 0);
  EXPECT_EQ(progressTxt.GetText(), "99%");
  EXPECT_EQ(progress.GetValue(), 990);

  // No usable total: the display stays.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double total : {0.0, -5.0, nan}) {
    EXPECT_EQ(OnPatchProgress(nullptr, total, 10, 0, 0), 0);
    EXPECT_EQ(progressTxt.GetText(), "99%");
  }
  EXPECT_EQ(OnPatchProgress(nullptr, 10, nan, 0, 0), 0);
  EXPECT_EQ(progressTxt.GetText(), "0%");
}

TEST_F(PatchCallbacksTest, ProgressAbortsTheTransferOnceShutDownBegan) {
  RequestWorkerStop();
  EXPECT_NE(OnPatchProgress(nullptr, 100, 50, 0, 0), 0);
  EXPECT_EQ(progressTxt.GetText(), "");
}

TEST_F(PatchCallbacksTest, FetchedFilesResetTheInstallCounters) {
  LivePatchHolder& holder = TheLivePatchHolder();
  // Not packages (the suffix is told case-sensitively): nothing but the
  // counters changes.
  frame.updateNeeded = true;
  for (const wchar_t* path : {L"/g/data/a.bin", L"/g/temp/p.UPD", L"/g/temp/p.Tre"}) {
    frame.installTotalBytes = 7;
    frame.installDoneBytes = 3;
    OnPatchStatus(path, 1, 1, true, &holder, false, false);
    EXPECT_EQ(frame.installTotalBytes, 0u);
    EXPECT_EQ(frame.installDoneBytes, 0u);
  }
  EXPECT_TRUE(frame.updateNeeded);
  EXPECT_EQ(CountErrorLog(kUnzipFailure), 0);

  // Packages that are not there cannot be unpacked: the update is given up.
  for (const wchar_t* path : {L"/g/temp/p.upd", L"/g/temp/p.tre"}) {
    frame.updateNeeded = true;
    frame.installTotalBytes = 7;
    frame.installDoneBytes = 3;
    OnPatchStatus(path, 1, 1, true, &holder, false, false);
    EXPECT_EQ(frame.installTotalBytes, 0u);
    EXPECT_EQ(frame.installDoneBytes, 0u);
    EXPECT_FALSE(frame.updateNeeded);
  }
  EXPECT_EQ(CountErrorLog(kUnzipFailure), 2);
}

TEST_F(PatchCallbacksTest, WithoutUserNothingHappens) {
  frame.installTotalBytes = 7;
  frame.updateNeeded = true;
  OnPatchStatus(L"/g/data/a.bin", 1, 1, true, nullptr, false, false);
  OnPatchStatus(nullptr, 0, 1, true, nullptr, false, false);
  EXPECT_EQ(frame.installTotalBytes, 7u);
  EXPECT_TRUE(frame.updateNeeded);
}

TEST_F(PatchCallbacksTest, VersionStepsStoreAndShowTheVersionReached) {
  // Loaded against "1.2" while "1.0" is installed: the step must take the
  // library's version, not keep the installed one.
  ServeManifest(Set("patch", "1.1") + Set("patch", "1.2") + Set("Launcherpatch", "L7"));
  LivePatchHolder& holder = TheLivePatchHolder();
  ASSERT_TRUE(LoadLivePatch(holder, frame.programDir));
  ASSERT_TRUE(holder.LoadManifest(Url("/up/manifest.xml"), "1.2"));

  // An ordinary step: the version reached.
  OnPatchStatus(nullptr, 0, 1, false, &holder, false, false);
  EXPECT_EQ(InstalledGame(), "1.2");
  EXPECT_EQ(InstalledLauncher(), "1.0");
  EXPECT_EQ(versionTxt.GetText(), "1.2");
  std::string ini = ReadFile(dir.File("version.ini"));
  EXPECT_NE(ini.find("\nVersion=1.2"), std::string::npos) << ini;
  EXPECT_NE(ini.find("LVersion=1.0"), std::string::npos) << ini;

  // A launcher step: the manifest's newest launcher version.
  OnPatchStatus(nullptr, 0, 1, false, &holder, true, false);
  EXPECT_EQ(InstalledLauncher(), "L7");
  EXPECT_EQ(InstalledGame(), "1.2");
  EXPECT_EQ(versionTxt.GetText(), "L7");
  ini = ReadFile(dir.File("version.ini"));
  EXPECT_NE(ini.find("LVersion=L7"), std::string::npos) << ini;
  EXPECT_NE(ini.find("\nVersion=1.2"), std::string::npos) << ini;
  EXPECT_TRUE(desktop.QuitRequests().empty());  // no self-update pending
}

TEST_F(PatchCallbacksTest, TheEndOfTheUpdateFollowsTheEnterGameRule) {
  LivePatchHolder& holder = TheLivePatchHolder();
  for (bool complete : {true, false}) {
    SCOPED_TRACE(complete);
    ChosenServer server{"10.0.0.1", "7000", complete ? "http://pay" : "", "3"};
    SetChosenServer(server);
    enterGame.SetEnabled(!complete);
    frame.updateNeeded = true;
    versionTxt.SetText("old");
    OnPatchStatus(nullptr, 0, 1, true, &holder, false, false);
    EXPECT_FALSE(frame.updateNeeded);
    EXPECT_EQ(enterGame.IsEnabled(), complete);
    EXPECT_EQ(progressTxt.GetText(), "100%");
    EXPECT_EQ(progress.GetValue(), 1000);
    EXPECT_EQ(versionTxt.GetText(), "1.0");
  }
}

TEST_F(PatchCallbacksTest, NoWindowIsTouchedOnceShutDownBegan) {
  LivePatchHolder& holder = TheLivePatchHolder();
  RequestWorkerStop();
  OnPatchStatus(nullptr, 0, 1, true, &holder, false, false);
  EXPECT_EQ(progressTxt.GetText(), "");
  EXPECT_EQ(versionTxt.GetText(), "");
  EXPECT_TRUE(enterGame.IsEnabled());  // as constructed, untouched
}

// --- Update packages through the real library ---
//
// Every test here may stop processes named orvo.exe, so the suite's name
// puts it under the game-process lock of the test run.


using testing_support::EndedByKill;
using testing_support::IsListedAs;
using testing_support::StartSleeper;

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

  // `name` served as a package with `entries`.
  void ServePackage(const std::string& name,
                    const std::vector<std::pair<std::string, std::string>>& entries) {
    const std::string bytes = ZipBytes(entries);
    ASSERT_FALSE(bytes.empty());
    ServeFile(name, bytes);
  }

  std::string Ini() const { return ReadFile(dir.File("version.ini")); }
};

TEST_F(PatchPackageGameProcessTest, UpdPackageIsInstalledAndItsDirectoryDeleted) {
  MakeFile("data/map.bin");
  ServePackage("p1.upd", {{"data/map.bin", "new map"}, {"data/extra/tile.bin", "tile"},
                          {"readme.txt", "hello"}});
  ServeManifest(Set("patch", "1.1", "p1.upd", "temp") + Set("Launcherpatch", "1.0"));
  frame.updateNeeded = true;

  ASSERT_TRUE(RunUpdate());
  EXPECT_EQ(ReadFile(dir.File("data/map.bin")), "new map");
  EXPECT_EQ(ReadFile(dir.File("data/extra/tile.bin")), "tile");
  EXPECT_EQ(ReadFile(dir.File("readme.txt")), "hello");
  // The download directory goes with the package and its unpacked tree.
  EXPECT_FALSE(PathExists(dir.File("temp")));
  EXPECT_EQ(InstalledGame(), "1.1");
  EXPECT_NE(Ini().find("\nVersion=1.1"), std::string::npos) << Ini();
  EXPECT_FALSE(frame.updateNeeded);
  EXPECT_EQ(progressTxt.GetText(), "100%");
  EXPECT_EQ(CountErrorLog(kUnzipFailure), 0);
  EXPECT_EQ(CountErrorLog(kInstallFailure), 0);
  EXPECT_TRUE(desktop.QuitRequests().empty());
}

TEST_F(PatchPackageGameProcessTest, UpdPackageInTheProgramDirectoryTakesOnlyItself) {
  // The manifest stores the package in the program directory itself: the
  // clean-up must not delete the installation with it.
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
  EXPECT_EQ(ReadFile(dir.File("temp/p2/data/sound.bin")), "sound");
  EXPECT_EQ(InstalledGame(), "1.1");
}

TEST_F(PatchPackageGameProcessTest, RunningGameIsStoppedBeforeInstalling) {
  const pid_t game = StartSleeper(dir.path(), "orvo.exe");
  ASSERT_GT(game, 0);
  ASSERT_TRUE(IsListedAs(game, "orvo.exe"));
  ServePackage("p3.upd", {{"orvo.exe", "new game"}});
  ServeManifest(Set("patch", "1.1", "p3.upd", "temp") + Set("Launcherpatch", "1.0"));

  const bool applied = RunUpdate();
  const bool killed = EndedByKill(game);
  if (!killed) {
    kill(game, SIGKILL);
    waitpid(game, nullptr, 0);
  }
  ASSERT_TRUE(applied);
  EXPECT_TRUE(killed);
  EXPECT_EQ(ReadFile(dir.File("orvo.exe")), "new game");
  EXPECT_TRUE(desktop.QuitRequests().empty());
}

TEST_F(PatchPackageGameProcessTest, CorruptPackageGivesTheUpdateUp) {
  // As the library reports a stored package.
  std::filesystem::create_directories(dir.File("temp"));
  testing_support::WriteFile(dir.File("temp/bad.upd"), "this is no zip archive");
  frame.updateNeeded = true;
  enterGame.SetEnabled(false);

  const std::wstring path = wxString::FromUTF8(dir.File("temp/bad.upd")).ToStdWstring();
  OnPatchStatus(path.c_str(), 1, 1, true, &TheLivePatchHolder(), false, false);
  EXPECT_EQ(CountErrorLog(kUnzipFailure), 1);
  EXPECT_FALSE(frame.updateNeeded);
  EXPECT_TRUE(enterGame.IsEnabled());
  // The package stays where it was stored.
  EXPECT_TRUE(PathExists(dir.File("temp/bad.upd")));
}

TEST_F(PatchPackageGameProcessTest, PackageFetchedAfterShutDownBeganIsLeftForTheNextStart) {
  std::filesystem::create_directories(dir.File("temp"));
  testing_support::WriteFile(dir.File("temp/p7.upd"), ZipBytes({{"data/map.bin", "new map"}}));
  RequestWorkerStop();
  const std::wstring path = wxString::FromUTF8(dir.File("temp/p7.upd")).ToStdWstring();
  OnPatchStatus(path.c_str(), 1, 1, true, &TheLivePatchHolder(), false, false);
  OnPatchStatus(nullptr, 1, 1, false, &TheLivePatchHolder(), false, false);
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
  EXPECT_FALSE(frame.updateNeeded);
  // Neither step is recorded: the next start fetches both sets again.
  EXPECT_EQ(InstalledGame(), "1.0");
  EXPECT_EQ(Ini().find("Version=1.1"), std::string::npos) << Ini();
  EXPECT_EQ(Ini().find("Version=1.2"), std::string::npos) << Ini();
}

TEST_F(PatchPackageGameProcessTest, PackageThatCannotBeInstalledGivesTheUpdateUp) {
  // A directory with contents where the package brings a file.
  MakeFile("blocker/inside.txt");
  std::filesystem::create_directories(dir.File("temp"));
  testing_support::WriteFile(dir.File("temp/p5.upd"), ZipBytes({{"blocker", "a file now"}}));
  frame.updateNeeded = true;
  enterGame.SetEnabled(false);

  const std::wstring path = wxString::FromUTF8(dir.File("temp/p5.upd")).ToStdWstring();
  OnPatchStatus(path.c_str(), 1, 1, true, &TheLivePatchHolder(), false, false);
  EXPECT_EQ(CountErrorLog(kInstallFailure), 1);
  EXPECT_FALSE(frame.updateNeeded);
  EXPECT_TRUE(enterGame.IsEnabled());
  EXPECT_TRUE(PathExists(dir.File("blocker/inside.txt")));
  // Left for a look: the package and what was unpacked.
  EXPECT_TRUE(PathExists(dir.File("temp/p5/blocker")));
}

TEST_F(PatchPackageGameProcessTest, PackageWithTheLauncherUpdaterHandsOverAfterTheStep) {
  const std::string argsFile = dir.File("updater-args.txt");
  const std::string script = "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > '" + argsFile + ".part'\n"
                             "mv '" + argsFile + ".part' '" + argsFile + "'\n";
  std::filesystem::create_directories(dir.File("temp"));
  testing_support::WriteFile(
      dir.File("temp/p4.upd"),
      ZipBytes({{"launcherupdate.exe", script}, {"data/launcher.bin", "not installed by us"}}));
  ServeManifest(Set("patch", "1.1") + Set("Launcherpatch", "1.0"));
  LivePatchHolder& holder = TheLivePatchHolder();
  ASSERT_TRUE(LoadLivePatch(holder, frame.programDir));
  ASSERT_TRUE(holder.LoadManifest(Url("/up/manifest.xml"), "1.1"));

  const std::wstring path = wxString::FromUTF8(dir.File("temp/p4.upd")).ToStdWstring();
  OnPatchStatus(path.c_str(), 1, 1, true, &holder, false, false);
  EXPECT_TRUE(frame.launcherUpdatePending);
  // Left to the updater: nothing installed, nothing deleted, no hand-over yet.
  EXPECT_FALSE(PathExists(dir.File("data/launcher.bin")));
  EXPECT_TRUE(PathExists(dir.File("temp/p4.upd")));
  EXPECT_TRUE(desktop.QuitRequests().empty());

  OnPatchStatus(nullptr, 0, 1, false, &holder, false, false);
  EXPECT_EQ(InstalledGame(), "1.1");
  EXPECT_EQ(desktop.QuitRequests(), std::vector<int>{0});
  // The update ends with the hand-over: nothing more is installed under it.
  EXPECT_TRUE(WorkerStopRequested());

  for (int i = 0; i < 1000 && !PathExists(argsFile); ++i) platform::SleepMilliseconds(10);
  // One argument: a double quote, the package directory, "*", ours.
  EXPECT_EQ(ReadFile(argsFile), "1\n\"" + dir.File("temp/p4/") + "*" + dir.path() + "\n");
  EXPECT_TRUE(PathExists(dir.File("temp/p4/launcherupdate.exe")));
}

TEST_F(PatchPackageGameProcessTest, DamagedEntryKeepsTheInstalledFile) {
  testing_support::WriteFile(dir.File("game.dat"), "installed game data");
  std::string bytes = ZipBytes({{"game.dat", "new game data"}, {"other.txt", "other"}});
  // The first entry marked encrypted: it cannot be extracted.
  bytes[testing_support::FindSignatures(bytes, "PK\x03\x04")[0] + 6] |= 1;
  bytes[testing_support::FindSignatures(bytes, "PK\x01\x02")[0] + 8] |= 1;
  std::filesystem::create_directories(dir.File("temp"));
  testing_support::WriteFile(dir.File("temp/p7.upd"), bytes);

  const std::wstring path = wxString::FromUTF8(dir.File("temp/p7.upd")).ToStdWstring();
  OnPatchStatus(path.c_str(), 1, 1, true, &TheLivePatchHolder(), false, false);
  EXPECT_EQ(ReadFile(dir.File("game.dat")), "installed game data");
  EXPECT_EQ(ReadFile(dir.File("other.txt")), "other");
}

TEST_F(PatchPackageGameProcessTest, PackageNamedAfterAnInstalledDirectoryIsNotUnpacked) {
  // data.upd stored in the program directory would unpack into, install
  // from and then delete the game's own data directory.
  testing_support::WriteFile(dir.File("data.upd"), ZipBytes({{"map.bin", "new map"}}));
  std::filesystem::create_directories(dir.File("data"));
  testing_support::WriteFile(dir.File("data/map.bin"), "old map");
  testing_support::WriteFile(dir.File("data/sound.bin"), "sound");
  frame.updateNeeded = true;
  enterGame.SetEnabled(false);

  const std::wstring path = wxString::FromUTF8(dir.File("data.upd")).ToStdWstring();
  OnPatchStatus(path.c_str(), 1, 1, true, &TheLivePatchHolder(), false, false);
  EXPECT_EQ(CountErrorLog(kUnzipFailure), 1);
  EXPECT_FALSE(frame.updateNeeded);
  EXPECT_TRUE(enterGame.IsEnabled());
  EXPECT_EQ(ReadFile(dir.File("data/map.bin")), "old map");
  EXPECT_EQ(ReadFile(dir.File("data/sound.bin")), "sound");
  EXPECT_FALSE(PathExists(dir.File("map.bin")));
  EXPECT_FALSE(PathExists(dir.File("sound.bin")));
  EXPECT_TRUE(PathExists(dir.File("data.upd")));
}

TEST_F(PatchPackageGameProcessTest, UpdPathWithoutSeparatorDeletesOnlyThePackage) {
  // The library may name a package relative to the working directory.
  testing_support::TempDir work;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(work.path());
  testing_support::WriteFile(work.File("p8.upd"), ZipBytes({{"bare.txt", "bare"}}));
  OnPatchStatus(L"p8.upd", 1, 1, true, &TheLivePatchHolder(), false, false);
  std::filesystem::current_path(before);
  EXPECT_EQ(ReadFile(dir.File("bare.txt")), "bare");
  EXPECT_FALSE(PathExists(work.File("p8.upd")));
  EXPECT_EQ(ReadFile(work.File("p8/bare.txt")), "bare");  // the unpacked tree stays
  EXPECT_EQ(CountErrorLog(kUnzipFailure), 0);
  EXPECT_EQ(CountErrorLog(kInstallFailure), 0);
}

TEST_F(PatchPackageGameProcessTest, InstallProgressReachesThePanel) {
  // 49 bytes of a file, and a new directory whose 51 bytes count as 1 when
  // it is copied whole: the installation ends at 50 of 100 bytes, where the
  // unpacking alone would have shown 100%.
  std::filesystem::create_directories(dir.File("temp"));
  testing_support::WriteFile(
      dir.File("temp/p9.upd"),
      ZipBytes({{"a.bin", std::string(49, 'a')}, {"fresh/b.bin", std::string(51, 'b')}}));
  const std::wstring path = wxString::FromUTF8(dir.File("temp/p9.upd")).ToStdWstring();
  OnPatchStatus(path.c_str(), 1, 1, true, &TheLivePatchHolder(), false, false);
  EXPECT_EQ(frame.installTotalBytes, 100u);
  EXPECT_EQ(frame.installDoneBytes, 50u);
  EXPECT_EQ(progressTxt.GetText(), "50%");
  EXPECT_EQ(progress.GetValue(), 500);
  EXPECT_EQ(ReadFile(dir.File("fresh/b.bin")), std::string(51, 'b'));
}

TEST_F(PatchPackageGameProcessTest, LauncherUpdaterIsFoundInAnyLetterCase) {
  const std::string started = dir.File("updater-started.txt");
  const std::string script = "#!/bin/sh\ntouch '" + started + "'\n";
  std::filesystem::create_directories(dir.File("temp"));
  testing_support::WriteFile(dir.File("temp/p10.upd"),
                             ZipBytes({{"LauncherUpdate.EXE", script}, {"x.bin", "x"}}));
  ServeManifest(Set("patch", "1.1") + Set("Launcherpatch", "1.0"));
  LivePatchHolder& holder = TheLivePatchHolder();
  ASSERT_TRUE(LoadLivePatch(holder, frame.programDir));
  ASSERT_TRUE(holder.LoadManifest(Url("/up/manifest.xml"), "1.1"));

  const std::wstring path = wxString::FromUTF8(dir.File("temp/p10.upd")).ToStdWstring();
  OnPatchStatus(path.c_str(), 1, 1, true, &holder, false, false);
  EXPECT_TRUE(frame.launcherUpdatePending);
  EXPECT_EQ(frame.launcherUpdaterPath.utf8_string(), dir.File("temp/p10/LauncherUpdate.EXE"));
  EXPECT_FALSE(PathExists(dir.File("x.bin")));  // left to the updater

  OnPatchStatus(nullptr, 0, 1, false, &holder, false, false);
  EXPECT_EQ(desktop.QuitRequests(), std::vector<int>{0});
  for (int i = 0; i < 1000 && !PathExists(started); ++i) platform::SleepMilliseconds(10);
  EXPECT_TRUE(PathExists(started));
}

}  // namespace
}  // namespace update_road_testing
