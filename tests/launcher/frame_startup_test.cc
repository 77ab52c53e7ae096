// Start-up to shut-down of the launcher in a temporary program directory.
#include <gtest/gtest.h>

#include <cstdlib>

#include "launcher/my_thread.h"
#include "launcher/win_main.h"
#include "launcher/windows/news2_wnd.h"
#include "launcher/windows/news_wnd.h"
#include "launcher/windows/server_list_wnd.h"
#include "launcher/windows/top_wnd.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/test_hooks.h"
#include "skinui/window_system.h"
#include "tests/launcher/launcher_program_fixture.h"
#include "tests/support/zip_builder.h"

namespace {

using launcher_test::LauncherProgramTest;

RECT WindowRect(CWindowWnd* window) {
  RECT rect;
  skinui::GetWindowRect(window->GetHWND(), &rect);
  return rect;
}

void ExpectAt(CWindowWnd* window, const RECT& frameRect, const WindowOffset& offset) {
  ASSERT_NE(window, nullptr);
  const RECT rect = WindowRect(window);
  EXPECT_EQ(rect.left, frameRect.left + offset.x);
  EXPECT_EQ(rect.top, frameRect.top + offset.y);
}

size_t Find(const std::string& text, const std::string& what, size_t from = 0) {
  return text.find(what, from);
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
  const size_t started = Find(log, ": launcher(");
  const size_t init = Find(log, "): launcher Init!");
  const size_t prepared = Find(log, "): finish  launcher OnPrepare! \n");
  ASSERT_NE(started, std::string::npos) << log;
  ASSERT_NE(init, std::string::npos) << log;
  ASSERT_NE(prepared, std::string::npos) << log;
  EXPECT_LT(started, init);
  EXPECT_LT(init, prepared);
  EXPECT_NE(Find(log, "launcher started!"), std::string::npos);
}

TEST_F(FrameStartupTest, FrameWindowIsCentredAndChildrenSitAtTheirOffsets) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  const RECT frameRect = WindowRect(&f);
  // Created at the fixed size, then sized by its skin and centred on the
  // 1024 x 768 work area.
  const SIZE skinSize = f.paintManager.GetInitSize();
  EXPECT_EQ(skinSize.cx, 1000);
  EXPECT_EQ(skinSize.cy, 690);
  EXPECT_EQ(skinui::RectWidth(frameRect), skinSize.cx);
  EXPECT_EQ(skinui::RectHeight(frameRect), skinSize.cy);
  EXPECT_EQ(skinui::GetWindowText(f.GetHWND()), kFrameTitle);
  EXPECT_EQ(frameRect.left, (1024 - skinSize.cx) / 2);
  EXPECT_EQ(frameRect.top, (768 - skinSize.cy) / 2);
  // The caption bits are gone, the clip bits set.
  const DWORD style = skinui::GetWindowStyle(f.GetHWND());
  EXPECT_EQ(style & WS_CAPTION, 0u);
  EXPECT_EQ(style & (WS_CLIPSIBLINGS | WS_CLIPCHILDREN), WS_CLIPSIBLINGS | WS_CLIPCHILDREN);

  EXPECT_EQ(f.layoutMode, 0);
  ExpectAt(f.newsWnd, frameRect, WindowOffset{199, 323});
  ExpectAt(f.news2Wnd, frameRect, WindowOffset{499, 323});
  ExpectAt(f.topWnd, frameRect, WindowOffset{189, 197});
  ExpectAt(f.updateWnd, frameRect, WindowOffset{106, 580});
  ExpectAt(f.serverListWnd, frameRect, f.serverListPos);
  EXPECT_FALSE(skinui::IsWindowVisible(f.serverListWnd->GetHWND()));
  EXPECT_TRUE(skinui::IsWindowVisible(f.updateWnd->GetHWND()));
  for (CWindowWnd* child : std::initializer_list<CWindowWnd*>{
           f.newsWnd, f.news2Wnd, f.topWnd, f.updateWnd, f.serverListWnd}) {
    EXPECT_EQ(skinui::GetOwner(child->GetHWND()), f.GetHWND());
  }
  EXPECT_TRUE(f.prepared);
  // The server-list thread fetches only once the list has been asked for,
  // and clears the request when done; with no list address configured its
  // fetch fails at once and says so.
  ASSERT_TRUE(LoopUntil([&f] { return !f.serverListRequested; }));
  EXPECT_NE(RunLog().find("DownLoadServerListFile faiure!"), std::string::npos) << RunLog();
  EXPECT_NE(f.enterGameBtn, nullptr);
  EXPECT_NE(f.updateWnd->serverBtn, nullptr);
  EXPECT_NE(f.serverListWnd->domainList, nullptr);
  EXPECT_EQ(f.serverListWnd->anchorY, 580);
}

TEST_F(FrameStartupTest, ShutDownDeletesChildrenAndLogTargetAndEndsWithoutWindows) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  ASSERT_NE(f.logTarget.load(), nullptr);
  f.DestroyChildWindows();
  EXPECT_EQ(f.newsWnd, nullptr);
  EXPECT_EQ(f.news2Wnd, nullptr);
  EXPECT_EQ(f.topWnd, nullptr);
  EXPECT_EQ(f.serverListWnd, nullptr);
  EXPECT_EQ(f.updateWnd, nullptr);
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
  EXPECT_EQ(f.newsWnd, nullptr);
  EXPECT_EQ(f.news2Wnd, nullptr);
  EXPECT_EQ(f.topWnd, nullptr);
  EXPECT_EQ(f.updateWnd, nullptr);
  EXPECT_EQ(f.serverListWnd, nullptr);
  EXPECT_FALSE(f.prepared);
  ShutDown();
  EXPECT_EQ(RunLog().find("OnPrepare"), std::string::npos);
  EXPECT_NE(RunLog().find("launcher Init!"), std::string::npos);
}

TEST_F(FrameStartupTest, ThreadsThatCannotStartAreLoggedAndStartUpGoesOn) {
  MyThread::FailNextStartForTesting(MyThread::FailStep::Create);
  StartUp();
  MyThread::FailNextStartForTesting(MyThread::FailStep::Run);
  skinui::PumpPendingMessages();  // OnPrepare starts the server-list thread
  EXPECT_TRUE(frame().prepared);
  ShutDown();
  const std::string log = RunLog();
  EXPECT_NE(log.find(": Error: Can't create the update thread!\n"), std::string::npos) << log;
  EXPECT_NE(log.find(": Error: Load  server list Thread run Error!\n"), std::string::npos) << log;

  MyThread::FailNextStartForTesting(MyThread::FailStep::Run);
  StartUp();
  MyThread::FailNextStartForTesting(MyThread::FailStep::Create);
  skinui::PumpPendingMessages();
  ShutDown();
  const std::string second = RunLog();
  EXPECT_NE(second.find("Error: The UpdateThread run Error!\n"), std::string::npos) << second;
  EXPECT_NE(second.find("Error: Can't create the Load  server list thread!\n"), std::string::npos)
      << second;
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

TEST_F(FrameStartupTest, MissingOrvoIniIsLoggedAndStartUpGoesOn) {
  std::remove(File("orvo.ini").c_str());
  StartUpAndPrepare();
  EXPECT_TRUE(frame().prepared);
  EXPECT_NE(RunLog().find("): load orvo.ini error"), std::string::npos) << RunLog();
}

TEST_F(FrameStartupTest, LayoutModeFollowsTheDisplay) {
  struct Case {
    int width, height, mode;
  } cases[] = {{1024, 768, 0}, {1280, 720, 1}, {1280, 700, 2}, {800, 1200, 2}, {1000, 800, 1},
               {1920, 1080, 0}, {801, 720, 1}, {1023, 719, 2}};
  for (const Case& c : cases) {
    EXPECT_EQ(LayoutModeForDisplay(platform::DisplayMode{c.width, c.height, 32, 60}), c.mode)
        << c.width << "x" << c.height;
  }
  desktop_.SetDisplayMode(platform::DisplayMode{1280, 720, 32, 60});
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  EXPECT_EQ(f.layoutMode, 1);
  EXPECT_EQ(f.updatePos.y, 545);
  EXPECT_EQ(f.newsPos.x, 186);
  EXPECT_EQ(f.serverListWnd->anchorY, 545);
  ShutDown();
  desktop_.SetDisplayMode(platform::DisplayMode{800, 600, 32, 60});
  StartUpAndPrepare();
  EXPECT_EQ(frame().layoutMode, 2);
  EXPECT_EQ(frame().topPos.x, 128);
  EXPECT_EQ(frame().updatePos.y, 453);
}

TEST_F(FrameStartupTest, FramePaintedAtStartUpAsksForTrueColourOnce) {
  // 16 bits per pixel: painting the new frame asks for 32, size kept.
  desktop_.SetDisplayMode(platform::DisplayMode{1280, 1024, 16, 75});
  StartUpAndPrepare();
  auto requests = desktop_.DisplayModeRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].bitsPerPixel, 32);
  EXPECT_EQ(requests[0].width, 1280);
  EXPECT_EQ(requests[0].height, 1024);
  // Restoring the minimised frame paints it again; the display is at 32 now.
  skinui::test::SystemCommand(frame().GetHWND(), SC_MINIMIZE);
  skinui::test::SystemCommand(frame().GetHWND(), SC_RESTORE);
  EXPECT_EQ(desktop_.DisplayModeRequests().size(), 1u);
  ShutDown();

  // Already at 32 bits per pixel: nothing is asked for.
  testing_support::RecordingDesktop trueColour;
  StartUpAndPrepare();
  EXPECT_TRUE(trueColour.DisplayModeRequests().empty());
  ShutDown();
}

TEST_F(FrameStartupTest, RestoringTheFrameRepaintsItAndKeepsTrueColour) {
  StartUpAndPrepare();
  const HWND hwnd = frame().GetHWND();
  skinui::test::SystemCommand(hwnd, SC_MINIMIZE);
  // Something switched the display to 16 bits while the launcher was down.
  desktop_.SetDisplayMode(platform::DisplayMode{1024, 768, 16, 60});
  skinui::ShowWindowCommand(hwnd, SW_RESTORE);  // restored without SC_RESTORE
  ASSERT_FALSE(skinui::IsMinimized(hwnd));
  const auto requests = desktop_.DisplayModeRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].bitsPerPixel, 32);
  EXPECT_EQ(requests[0].width, 1024);
}

// ---- Bad input ----

TEST_F(FrameStartupTest, MissingSkinArchiveBringsUpWindowsWithoutControls) {
  std::remove(File("bt.dat").c_str());
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  EXPECT_EQ(f.closeBtn, nullptr);
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
  EXPECT_NE(RunLog().find("launcher Init!"), std::string::npos);
}

TEST_F(FrameStartupTest, SkinThatIsNotWellFormedBuildsNothingButTheRestRuns) {
  auto skins = launcher_test::AllSourceSkins();
  skins["launcherSkin.xml"] = "<Window size=\"800,572\"><VerticalLayout><Button name=\"CloseBtn\"";
  skins["server.xml"] = "not a skin at all";
  ASSERT_TRUE(testing_support::WriteDeflatedZip(File("bt.dat"), skins));
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  EXPECT_EQ(f.closeBtn, nullptr);
  ASSERT_NE(f.updateWnd, nullptr);
  EXPECT_EQ(f.updateWnd->progressCtrl, nullptr);
  ASSERT_NE(f.serverListWnd, nullptr);
  EXPECT_NE(f.serverListWnd->domainList, nullptr);  // its own skin is fine
  f.updateWnd->SetProgress(10);
  EXPECT_TRUE(f.prepared);
}

TEST_F(FrameStartupTest, SkinWithoutSomeControlsLeavesTheirActionsOut) {
  auto skins = launcher_test::AllSourceSkins();
  skins["launcherSkin.xml"] =
      "<Window size=\"800,572\" caption=\"0,0,0,30\"><VerticalLayout>"
      "<Button name=\"WebBtn\" float=\"true\" pos=\"20,60,160,96\"/>"
      "</VerticalLayout></Window>";
  skins["serverList.xml"] = "<Window size=\"160,139\"><VerticalLayout/></Window>";
  ASSERT_TRUE(testing_support::WriteDeflatedZip(File("bt.dat"), skins));
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  EXPECT_NE(f.webBtn, nullptr);
  EXPECT_EQ(f.enterGameBtn, nullptr);
  EXPECT_EQ(f.gameSetBtn, nullptr);
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
