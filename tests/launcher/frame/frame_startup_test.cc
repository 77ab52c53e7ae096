// Start-up to shut-down of the launcher in a temporary program directory.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "launcher/config/version_config.h"
#include "launcher/system/my_thread.h"
#include "launcher/win_main.h"
#include "launcher/windows/news2_wnd.h"
#include "launcher/windows/news_wnd.h"
#include "launcher/windows/server_list_wnd.h"
#include "launcher/windows/top_wnd.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/window_system.h"
#include "tests/launcher/launcher_program_fixture.h"
#include "tests/support/skinui/test_hooks.h"
#include "tests/support/test_road_environment.h"

namespace {

using launcher_test::LauncherProgramTest;
using launcher_test::WindowRect;

void ExpectNoChildren(const LauncherFrameWnd& f) {
  EXPECT_EQ(f.newsWnd, nullptr);
  EXPECT_EQ(f.news2Wnd, nullptr);
  EXPECT_EQ(f.topWnd, nullptr);
  EXPECT_EQ(f.updateWnd, nullptr);
  EXPECT_EQ(f.serverListWnd, nullptr);
}

class FrameStartupTest : public LauncherProgramTest {};

TEST_F(FrameStartupTest, WinMainRunsFromStartUpToShutDownOnItsOwn) {
  setenv(launcher_main::kAutoCloseVariable, "100", 1);
  EXPECT_EQ(WinMain(), 0);
  unsetenv(launcher_main::kAutoCloseVariable);

  EXPECT_EQ(g_pFrame.load(), nullptr);
  EXPECT_EQ(RunningWorkerCount(), 0);
  EXPECT_TRUE(skinui::GetZOrder().empty()) << "every window is gone after shut-down";
  const std::string log = RunLog();
  const size_t started = log.find(": launcher(");
  const size_t init = log.find("): launcher Init!");
  const size_t prepared = log.find("): finish  launcher OnPrepare! \n");
  ASSERT_NE(prepared, std::string::npos) << log;
  EXPECT_LT(started, init);
  EXPECT_LT(init, prepared);
  EXPECT_NE(log.find("launcher started!"), std::string::npos);
}

// Whatever its name: also a directory whose name is not UTF-8 (GBK,
// unpacked from a Windows archive) has its files found and written there,
// and nowhere else.
TEST_F(FrameStartupTest, WorksInItsOwnDirectoryWhateverItsName) {
  const std::string gbk = dir_.File("\xD3\xCE\xCF\xB7/");
  ASSERT_EQ(mkdir(gbk.c_str(), 0755), 0);
  for (const char* name : {"bt.dat", "orvo.ini", "version.ini", "resolution.ini", "web.ini"})
    std::filesystem::rename(File(name), gbk + name);
  testing_support::TempDir elsewhere;
  std::filesystem::current_path(elsewhere.path());
  CPaintManagerUI::SetInstancePath(gbk);
  StartUp();
  EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), gbk));
  EXPECT_EQ(VersionConfig().Version, "1.0");  // its version.ini, no first installation
  EXPECT_NE(frame().enterGameBtn, nullptr);   // its skin archive
  ShutDown();
  EXPECT_NE(testing_support::ReadFile(gbk + "run.log").find("launcher Init!"), std::string::npos);
  for (const char* name : {"run.log", "version.ini", "resolution.ini"}) {
    EXPECT_FALSE(testing_support::PathExists(elsewhere.File(name))) << name;
    EXPECT_FALSE(testing_support::PathExists(File(name))) << name;
  }
}

TEST_F(FrameStartupTest, FrameWindowIsCentredAndChildrenSitAtTheirOffsets) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  const RECT frameRect = WindowRect(&f);
  // Sized by its skin and centred on the 1024 x 768 work area.
  EXPECT_EQ(skinui::RectWidth(frameRect), 1000);
  EXPECT_EQ(skinui::RectHeight(frameRect), 690);
  EXPECT_EQ(frameRect.left, (1024 - 1000) / 2);
  EXPECT_EQ(frameRect.top, (768 - 690) / 2);
  EXPECT_EQ(skinui::GetWindowStyle(f.GetHWND()) & WS_CAPTION, 0u);

  const struct {
    CWindowWnd* window;
    WindowOffset offset;
  } children[] = {{f.newsWnd, {199, 323}},
                  {f.news2Wnd, {499, 323}},
                  {f.topWnd, {189, 197}},
                  {f.updateWnd, {106, 580}},
                  {f.serverListWnd, f.serverListPos}};
  for (const auto& child : children) {
    ASSERT_NE(child.window, nullptr);
    const RECT rect = WindowRect(child.window);
    EXPECT_EQ(rect.left, frameRect.left + child.offset.x);
    EXPECT_EQ(rect.top, frameRect.top + child.offset.y);
    EXPECT_EQ(skinui::GetOwner(child.window->GetHWND()), f.GetHWND());
  }
  EXPECT_FALSE(skinui::IsWindowVisible(f.serverListWnd->GetHWND()));
  EXPECT_TRUE(skinui::IsWindowVisible(f.updateWnd->GetHWND()));
  EXPECT_TRUE(f.prepared);
}

TEST_F(FrameStartupTest, ShutDownDeletesChildrenAndLogTargetAndEndsWithoutWindows) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  ASSERT_NE(f.logTarget.load(), nullptr);
  f.DestroyChildWindows();
  ExpectNoChildren(f);
  EXPECT_EQ(f.logTarget.load(), nullptr);
  ShutDown();
  EXPECT_EQ(g_pFrame.load(), nullptr);
  EXPECT_TRUE(skinui::GetZOrder().empty());
  // Nothing is left queued for a later run: a fresh start prepares again.
  StartUpAndPrepare();
  EXPECT_TRUE(frame().prepared);
}

TEST_F(FrameStartupTest, ClosingBeforeWindowInitLeavesEveryChildNull) {
  StartUp();
  LauncherFrameWnd& f = frame();
  f.SendMessage(WM_CLOSE);  // the window goes before the loop runs
  EXPECT_EQ(CPaintManagerUI::MessageLoop(), 0);
  ExpectNoChildren(f);
  EXPECT_FALSE(f.prepared);
  ShutDown();
  EXPECT_EQ(RunLog().find("OnPrepare"), std::string::npos);
}

TEST_F(FrameStartupTest, ThreadsThatCannotStartAreLoggedAndStartUpGoesOn) {
  using Step = testing_support::TestRoadEnvironment::ThreadStep;
  const struct {
    Step updateStep, listStep;
    const char *updateLine, *listLine;
  } cases[] = {{Step::kPrepare, Step::kStart, ": Error: Can't create the update thread!\n",
                ": Error: Load  server list Thread run Error!\n"},
               {Step::kStart, Step::kPrepare, ": Error: The UpdateThread run Error!\n",
                ": Error: Can't create the Load  server list thread!\n"}};
  for (const auto& c : cases) {
    testing_support::TestRoadEnvironment system;
    system.RefuseNextThread(c.updateStep);
    StartUp(system);
    system.RefuseNextThread(c.listStep);
    skinui::PumpPendingMessages();  // OnPrepare starts the server-list thread
    EXPECT_TRUE(frame().prepared);
    // Disabled at prepare, before any worker could enable it.
    EXPECT_FALSE(frame().enterGameBtn->IsEnabled());
    ShutDown();
    const std::string log = RunLog();
    // Each line, and the next one with its cause.
    const auto causeAfter = [&log](const std::string& line) {
      const size_t at = log.find(line);
      if (at == std::string::npos) return std::string("no line");
      const size_t next = at + line.size();
      return log.substr(next, log.find('\n', next) - next);
    };
    const auto refused = [](Step step) {
      return std::string(": Error: cause: the test refused to ") +
             (step == Step::kPrepare ? "prepare" : "start") + " the thread";
    };
    EXPECT_NE(causeAfter(c.updateLine).find(refused(c.updateStep)), std::string::npos) << log;
    EXPECT_NE(causeAfter(c.listLine).find(refused(c.listStep)), std::string::npos) << log;
  }
}

TEST_F(FrameStartupTest, CachedServerListOfThreeBytesIsNotShown) {
  Write("ServerList.xml", "abc");
  StartUpAndPrepare();
  EXPECT_TRUE(frame().serverListFile.empty());
  ShutDown();
  Write("ServerList.xml", "<abc");
  StartUpAndPrepare();
  EXPECT_EQ(frame().serverListFile, "ServerList.xml");
}

TEST_F(FrameStartupTest, LayoutModeFollowsTheDisplay) {
  const struct {
    int width, height, mode;
  } cases[] = {{1024, 768, 0}, {1920, 1080, 0}, {1280, 720, 1}, {801, 720, 1},
               {1280, 700, 2}, {800, 1200, 2},  {1023, 719, 2}};
  for (const auto& c : cases) {
    EXPECT_EQ(LayoutModeForDisplay(platform::DisplayMode{c.width, c.height, 32, 60}), c.mode)
        << c.width << "x" << c.height;
  }
}

TEST_F(FrameStartupTest, PaintingTheFrameAsksForTrueColourWhenTheDisplayLacksIt) {
  desktop_.SetDisplayMode(platform::DisplayMode{1280, 1024, 16, 75});
  StartUpAndPrepare();
  const HWND hwnd = frame().GetHWND();
  ASSERT_EQ(desktop_.DisplayModeRequests().size(), 1u);
  EXPECT_EQ(desktop_.DisplayModeRequests()[0].bitsPerPixel, 32);
  EXPECT_EQ(desktop_.DisplayModeRequests()[0].width, 1280);
  // Repainting at 32 bits asks for nothing more.
  skinui::test::SystemCommand(hwnd, SC_MINIMIZE);
  skinui::test::SystemCommand(hwnd, SC_RESTORE);
  EXPECT_EQ(desktop_.DisplayModeRequests().size(), 1u);
  // Something switched to 16 bits while minimised; restoring (without
  // SC_RESTORE) asks again.
  skinui::test::SystemCommand(hwnd, SC_MINIMIZE);
  desktop_.SetDisplayMode(platform::DisplayMode{1024, 768, 16, 60});
  skinui::ShowWindowCommand(hwnd, SW_RESTORE);
  ASSERT_EQ(desktop_.DisplayModeRequests().size(), 2u);
  EXPECT_EQ(desktop_.DisplayModeRequests()[1].bitsPerPixel, 32);
  EXPECT_EQ(desktop_.DisplayModeRequests()[1].width, 1024);
}

// ---- Bad input ----

TEST_F(FrameStartupTest, MissingSkinArchiveAndOrvoIniBringUpWindowsWithoutControls) {
  std::remove(File("bt.dat").c_str());
  std::remove(File("orvo.ini").c_str());
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  EXPECT_TRUE(f.prepared);
  EXPECT_NE(RunLog().find("(262): load orvo.ini error\n"), std::string::npos) << RunLog();
  EXPECT_NE(RunLog().find("(262): cause: " + File("orvo.ini") + ": No such file or directory\n"),
            std::string::npos)
      << RunLog();
  EXPECT_EQ(f.enterGameBtn, nullptr);
  ASSERT_NE(f.updateWnd, nullptr);
  EXPECT_EQ(f.updateWnd->serverBtn, nullptr);
  EXPECT_EQ(f.serverListWnd->domainList, nullptr);
  // Steps that need a missing control are skipped.
  f.updateWnd->SetProgress(50);
  f.serverListWnd->LayoutServerListPopup();
  f.serverListWnd->HideServerListPopup();
  f.updateNeeded = true;
  f.EnterGame();
  EXPECT_EQ(desktop_.MessageBoxes().size(), 1u);
}

TEST_F(FrameStartupTest, SkinThatIsNotWellFormedBuildsNothingButTheRestRuns) {
  WriteSkins(
      {{"launcherSkin.xml", "<Window size=\"800,572\"><VerticalLayout><Button name=\"CloseBtn\""},
       {"server.xml", "not a skin at all"}});
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  EXPECT_EQ(f.closeBtn, nullptr);
  ASSERT_NE(f.updateWnd, nullptr);
  EXPECT_EQ(f.updateWnd->progressCtrl, nullptr);
  EXPECT_NE(f.serverListWnd->domainList, nullptr);  // its own skin is fine
  f.updateWnd->SetProgress(10);
  EXPECT_TRUE(f.prepared);
}

TEST_F(FrameStartupTest, SkinWithoutSomeControlsLeavesTheirActionsOut) {
  WriteSkins({{"launcherSkin.xml",
               "<Window size=\"800,572\" caption=\"0,0,0,30\"><VerticalLayout>"
               "<Button name=\"WebBtn\" float=\"true\" pos=\"20,60,160,96\"/>"
               "</VerticalLayout></Window>"},
              {"serverList.xml", "<Window size=\"160,139\"><VerticalLayout/></Window>"}});
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  EXPECT_EQ(f.enterGameBtn, nullptr);
  EXPECT_EQ(f.serverListWnd->domainList, nullptr);
  const RECT before = WindowRect(f.serverListWnd);
  f.serverListWnd->LayoutServerListPopup();  // does nothing without its list
  EXPECT_EQ(WindowRect(f.serverListWnd), before);
  // "ServerBtn" still shows and hides the empty popup.
  ASSERT_TRUE(skinui::test::ClickControl(f.updateWnd->paintManager, "ServerBtn"));
  EXPECT_TRUE(skinui::IsWindowVisible(f.serverListWnd->GetHWND()));
  ASSERT_TRUE(skinui::test::ClickControl(f.paintManager, "WebBtn"));
  EXPECT_FALSE(skinui::IsWindowVisible(f.serverListWnd->GetHWND()));
  EXPECT_EQ(desktop_.OpenedUrls(), std::vector<std::string>{"http://site.test/"});
}

}  // namespace
