// The version check against the real update library, loaded from a program
// directory that holds a copy of it, and a loopback update server.
#include "launcher/update/version_check.h"

#include <link.h>

#include <cstdlib>

#include "launcher/packages/applied_packages.h"
#include "launcher/packages/delete_directory.h"
#include "launcher/update/patch_callbacks.h"
#include "launcher/win_main.h"
#include "tests/launcher/update_road_fixture.h"

namespace update_road_testing {
namespace {

constexpr char kConnectError[] = "can not connect update server! may be update server not open! ";

class VersionCheckTest : public UpdateRoadTest {
 protected:
  LivePatchHolder& holder() { return TheLivePatchHolder(); }

  // Whether the copy in the program directory is loaded in this process
  // (the loader records the path it was given).
  bool LibraryMapped() const {
    struct Search {
      std::string path;
      bool found = false;
    } search{dir.File("libTidewell.so")};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
          auto* s = static_cast<Search*>(data);
          if (info->dlpi_name && s->path == info->dlpi_name) s->found = true;
          return 0;
        },
        &search);
    return search.found;
  }
};

TEST_F(VersionCheckTest, CurrentVersionsNeedNoUpdateAndInstallTheCallbacks) {
  ServeManifest(Set("patch", "0.9") + Set("patch", "1.0") + Set("Launcherpatch", "1.0"));
  frame.updateNeeded = true;
  MakeFile("temp/p/deep/file.upd");  // temp goes at every attempt

  ASSERT_TRUE(CheckVersion());
  EXPECT_FALSE(PathExists(dir.File("temp")));
  EXPECT_FALSE(frame.updateNeeded);
  ASSERT_EQ(frame.livePatch, &holder());
  ASSERT_TRUE(holder().module);
  CLivePatch* patch = holder().patch;
  ASSERT_NE(patch, nullptr);
  EXPECT_EQ(patch->userData, &holder());
  EXPECT_EQ(patch->hostWindow, &frame);
  EXPECT_EQ(patch->statusCallback, &OnPatchStatus);
  EXPECT_EQ(patch->progressCallback, &OnPatchProgress);
  EXPECT_EQ(holder().GetPatchVersion(), "1.0");
  // The library works beside itself, in the program directory.
  EXPECT_TRUE(PathExists(dir.File("data/xxurlw")));
  EXPECT_EQ(CountErrorLog(kConnectError), 0);
}

// A program directory whose name is not UTF-8 is named "./" from inside
// itself; the library then works beside itself there as well.
TEST_F(VersionCheckTest, LibraryWorksInADirectoryWhoseNameIsNotUtf8) {
  const std::string gbk = dir.File("\xD3\xCE\xCF\xB7/");
  ASSERT_TRUE(std::filesystem::create_directory(gbk));
  std::filesystem::copy_file(VELMOR_TIDEWELL_LIBRARY, gbk + "libTidewell.so");
  std::filesystem::current_path(gbk);
  SetInstancePath("./");
  frame.programDir = "./";
  ServeManifest(Set("patch", "1.0") + Set("Launcherpatch", "1.0"));
  ASSERT_TRUE(CheckVersion());
  EXPECT_TRUE(PathExists(gbk + "data/xxurlw"));
  EXPECT_FALSE(PathExists(dir.File("data")));
}

TEST_F(VersionCheckTest, VersionsCompareAsExactStrings) {
  struct Case {
    const char* game;
    const char* launcher;
    bool updateNeeded;
  };
  // Installed game 1.0, launcher a1.
  const Case cases[] = {
      {"1.0", "a1", false}, {"1.00", "a1", true}, {"1.0", "A1", true},
      {"1.0", "a1 ", true}, {"1.1", "a1", true},
  };
  SetInstalled("1.0", "a1");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.game) + " / " + c.launcher);
    ServeManifest(Set("patch", c.game) + Set("Launcherpatch", c.launcher));
    frame.updateNeeded = !c.updateNeeded;
    ASSERT_TRUE(CheckVersion());
    EXPECT_EQ(frame.updateNeeded, c.updateNeeded);
  }
}

TEST_F(VersionCheckTest, SecondUrlIsTriedOnlyWhenSetAndTheFirstFails) {
  frame.updateVersionUrl1 = Url("/missing.xml");
  frame.updateNeeded = true;
  EXPECT_FALSE(CheckVersion());
  EXPECT_EQ(server.TotalRequests(), server.RequestCount("/missing.xml"));
  EXPECT_EQ(CountErrorLog(kConnectError), 1);
  // Each failure line is followed by its cause, under its own number.
  EXPECT_EQ(EntryAfterError(kConnectError), "Error: launcher(1600): cause: HTTP 404 from " +
                                                server.Url("/missing.xml") + " (10 attempts)");
  EXPECT_TRUE(frame.updateNeeded);  // a failed attempt keeps the earlier value
  // Nothing is written into the patch object of a failed attempt.
  EXPECT_EQ(frame.livePatch, &holder());
  ASSERT_NE(holder().patch, nullptr);
  EXPECT_EQ(holder().patch->statusCallback, nullptr);

  ServeManifest(Set("patch", "1.0") + Set("Launcherpatch", "1.0"));
  frame.updateVersionUrl2 = Url("/up/manifest.xml");
  ASSERT_TRUE(CheckVersion());
  EXPECT_FALSE(frame.updateNeeded);
  // An empty first URL is tried as well, and fails.
  frame.updateVersionUrl1.clear();
  ASSERT_TRUE(CheckVersion());

  frame.updateVersionUrl2 = Url("/also-missing.xml");
  EXPECT_FALSE(CheckVersion());
  EXPECT_GE(server.RequestCount("/also-missing.xml"), 1);
  EXPECT_EQ(CountErrorLog(kConnectError), 2);
  EXPECT_EQ(EntryAfterError(kConnectError, 2),
            "Error: launcher(1590): cause: no manifest URL; HTTP 404 from " +
                server.Url("/also-missing.xml") + " (10 attempts)");
}

TEST_F(VersionCheckTest, FullInstallationVersionDeletesDataOnlyForAManifestWithABaseSet) {
  SetInstalled("0.0", "0.0");
  // A manifest with a base set was loaded: data goes.
  MakeFile("data/old/keep.bin");
  MakeFile(kAppliedPackagesFile, "0.0\t1-0\n");  // what was installed goes with it
  ServeManifest("<!-- base below --><patch><version value=\"1.0\"/></patch><base/>");
  ASSERT_TRUE(CheckVersion());
  EXPECT_TRUE(frame.updateNeeded);
  EXPECT_FALSE(PathExists(dir.File("data")));
  EXPECT_FALSE(PathExists(dir.File(kAppliedPackagesFile)));

  // A manifest without a base set, no manifest, no library: the check
  // fails and data stays.
  MakeFile("data/old/keep.bin");
  ServeManifest(Set("patch", "1.0"));
  EXPECT_FALSE(CheckVersion());
  frame.updateVersionUrl1 = Url("/missing.xml");
  EXPECT_FALSE(CheckVersion());
  std::filesystem::remove(dir.File("libTidewell.so"));
  EXPECT_FALSE(CheckVersion());
  EXPECT_TRUE(PathExists(dir.File("data/old/keep.bin")));
  EXPECT_EQ(CountErrorLog(kConnectError), 2);
}

TEST_F(VersionCheckTest, MissingLibraryOrOneWithoutTheExportFailsQuietly) {
  for (bool other : {false, true}) {
    SCOPED_TRACE(other ? "another library" : "no library");
    std::filesystem::remove(dir.File("libTidewell.so"));
    if (other) std::filesystem::copy_file(VELMOR_OTHER_LIBRARY, dir.File("libTidewell.so"));
    frame.updateNeeded = true;
    MakeFile("temp/again.bin");
    // The update thread keeps the loader's word for its time-limit line.
    const platform::Status checked = CheckUpdateVersion();
    ASSERT_FALSE(checked);
    EXPECT_NE(checked.error().message.find(other ? "GetLivePatch" : "libTidewell.so"),
              std::string::npos)
        << checked.error().message;
    EXPECT_FALSE(PathExists(dir.File("temp")));
    EXPECT_EQ(frame.livePatch, &holder());
    EXPECT_FALSE(holder().module);
    EXPECT_EQ(holder().patch, nullptr);
    EXPECT_TRUE(frame.updateNeeded);
  }
  EXPECT_EQ(server.TotalRequests(), 0);
  EXPECT_EQ(CountErrorLog(kConnectError), 0);
}

TEST_F(VersionCheckTest, EveryAttemptStartsWithAFreshLibrary) {
  ServeManifest(Set("patch", "1.0") + Set("Launcherpatch", "L9"));
  ASSERT_TRUE(CheckVersion());
  EXPECT_EQ(holder().GetLauncherVersion(), "L9");

  // A failed attempt keeps its library loaded until the next attempt.
  frame.updateVersionUrl1 = Url("/missing.xml");
  EXPECT_FALSE(CheckVersion());
  EXPECT_NE(holder().patch, nullptr);
  EXPECT_TRUE(LibraryMapped());

  // A fresh object knows no launcher version when the manifest names none;
  // the same object would still remember L9.
  frame.updateVersionUrl1 = Url("/up/manifest.xml");
  ServeManifest(Set("patch", "1.0"));
  ASSERT_TRUE(CheckVersion());
  EXPECT_EQ(holder().GetLauncherVersion(), "");
  EXPECT_TRUE(frame.updateNeeded);  // "1.0" differs from the empty version

  // Every load was matched by an unload: after the release it is gone, and
  // the empty holder answers "0" and refuses work.
  ReleaseLivePatch();
  EXPECT_FALSE(LibraryMapped());
  EXPECT_EQ(frame.livePatch, nullptr);
  EXPECT_FALSE(holder().module);
  EXPECT_EQ(holder().patch, nullptr);
  EXPECT_EQ(holder().GetCurrentVersion(), "0");
  EXPECT_FALSE(holder().LoadManifest(Url("/up/manifest.xml"), "1.0"));
  EXPECT_FALSE(holder().ApplyPatches("1.0", "1.0"));
  ReleaseLivePatch();  // again: nothing to do
}

TEST(DeleteDirectoryTest, DeletesTreesAndFilesAndFailsOnNothing) {
  testing_support::TempDir dir;
  std::filesystem::create_directories(dir.File("tree/a"));
  WriteFile(dir.File("tree/a/b.bin"), "b");
  WriteFile(dir.File("file.upd"), "u");
  EXPECT_TRUE(DeleteDirectory(wxString::FromUTF8(dir.File("tree"))));
  EXPECT_FALSE(PathExists(dir.File("tree")));
  EXPECT_TRUE(DeleteDirectory(wxString::FromUTF8(dir.File("file.upd"))));
  EXPECT_FALSE(DeleteDirectory(wxString::FromUTF8(dir.File("never"))));
  EXPECT_FALSE(DeleteDirectory(wxString()));
}

// Shut-down releases a loaded library while its patch object lives; the
// process's exit list would destroy the object first.
TEST(LivePatchExitDeathTest, ShutDownReleasesThePatchObjectWhileItLives) {
  testing_support::TempDir dir;
  std::filesystem::copy_file(VELMOR_EXIT_ORDER_LIBRARY, dir.File("libTidewell.so"));
  const std::string marker = dir.File("released");
  setenv("VELMOR_TEST_RELEASE_MARKER", marker.c_str(), 1);
  EXPECT_EXIT(
      {
        if (!LoadLivePatch(TheLivePatchHolder(), wxString::FromUTF8(dir.path()))) std::_Exit(2);
        launcher_main::ShutDown(SystemRoadEnvironment());
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  unsetenv("VELMOR_TEST_RELEASE_MARKER");
  EXPECT_EQ(testing_support::ReadFile(marker), "alive\n");
}

}  // namespace
}  // namespace update_road_testing
