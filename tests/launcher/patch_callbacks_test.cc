// The callbacks the update library makes while it applies patches, called
// here directly as the library would.
#include "launcher/patch_callbacks.h"

#include <cmath>
#include <limits>

#include "launcher/my_thread.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/control.h"
#include "skinui/progress.h"
#include "tests/launcher/update_road_fixture.h"

namespace update_road_testing {
namespace {

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

  // A holder with the real library's patch object, after a manifest load.
  LivePatchHolder& LoadedHolder(const std::string& sets) {
    ServeManifest(sets);
    LivePatchHolder& holder = TheLivePatchHolder();
    EXPECT_TRUE(LoadLivePatch(holder, frame.programDir));
    EXPECT_TRUE(holder.LoadManifest(Url("/up/manifest.xml"), "1.0"));
    return holder;
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
  for (const wchar_t* path : {L"/g/data/a.bin", L"/g/temp/p.upd", L"/g/temp/p.tre",
                              L"/g/temp/p.UPD"}) {
    frame.installTotalBytes = 7;
    frame.installDoneBytes = 3;
    OnPatchStatus(path, 1, 1, true, &holder, false, false);
    EXPECT_EQ(frame.installTotalBytes, 0u);
    EXPECT_EQ(frame.installDoneBytes, 0u);
  }
  EXPECT_FALSE(frame.updateNeeded);  // a fetched file is no failure
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
  LivePatchHolder& holder = LoadedHolder(Set("patch", "1.1") + Set("Launcherpatch", "L7"));

  // An ordinary step: the version reached (here the one loaded against).
  OnPatchStatus(nullptr, 0, 1, false, &holder, false, false);
  EXPECT_EQ(InstalledGame(), "1.0");
  EXPECT_EQ(versionTxt.GetText(), "1.0");

  // A launcher step: the manifest's newest launcher version.
  OnPatchStatus(nullptr, 0, 1, false, &holder, true, false);
  EXPECT_EQ(InstalledLauncher(), "L7");
  EXPECT_EQ(versionTxt.GetText(), "L7");
  EXPECT_NE(ReadFile(dir.File("version.ini")).find("LVersion=L7"), std::string::npos);
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

}  // namespace
}  // namespace update_road_testing
