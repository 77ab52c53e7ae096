// The main frame's buttons, its caption band, system commands and the
// children that follow it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sys/stat.h>
#include <thread>

#include "launcher/chosen_server.h"
#include "launcher/setup_config.h"
#include "launcher/windows/news2_wnd.h"
#include "launcher/windows/news_wnd.h"
#include "launcher/windows/server_list_wnd.h"
#include "launcher/windows/top_wnd.h"
#include "launcher/windows/update_wnd.h"
#include "platform/ini_file.h"
#include "platform/shared_library.h"
#include "skinui/button.h"
#include "skinui/test_hooks.h"
#include "skinui/ui_lock.h"
#include "skinui/window_system.h"
#include "tests/launcher/launcher_program_fixture.h"

namespace {

using launcher_test::LauncherProgramTest;
using skinui::test::ClickControl;

RECT WindowRect(CWindowWnd* window) {
  RECT rect;
  skinui::GetWindowRect(window->GetHWND(), &rect);
  return rect;
}

POINT ScreenPoint(CWindowWnd* window, int x, int y) {
  POINT point{x, y};
  skinui::ClientToScreen(window->GetHWND(), &point);
  return point;
}

POINT CentreOf(CControlUI* control) {
  const RECT pos = control->GetPos();
  return POINT{(pos.left + pos.right) / 2, (pos.top + pos.bottom) / 2};
}

class FrameButtonsTest : public LauncherProgramTest {
 protected:
  // A stand-in game that records its arguments in started.txt.
  void InstallGame() {
    Write("orvo.exe", "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/started.txt\"\n");
    chmod(File("orvo.exe").c_str(), 0755);
  }
  bool WaitForGameStart() {
    for (int i = 0; i < 500; ++i) {
      if (testing_support::ReadFile(File("started.txt")) == "ws\n") return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  std::string SavedSetup(const char* key) {
    return platform::ReadIniString(File("orvo.ini"), "Setup", key, "<missing>");
  }
  // True when a WM_QUIT is queued (it is taken off the queue).
  static bool QuitQueued() {
    const int kProbe = 4711;
    skinui::PostQuitMessage(kProbe);
    const int first = skinui::RunMessageLoop();
    if (first == kProbe) return false;
    while (skinui::RunMessageLoop() != kProbe) {
    }
    return true;
  }
};

TEST_F(FrameButtonsTest, PageButtonsOpenTheirPages) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  ASSERT_TRUE(ClickControl(f.paintManager, "WebBtn"));
  ASSERT_TRUE(ClickControl(f.paintManager, "RechargeBtn"));
  ASSERT_TRUE(ClickControl(f.paintManager, "ForumBtn"));
  ASSERT_TRUE(ClickControl(f.paintManager, "CustServiceBtn"));
  const std::vector<std::string> expected{"http://site.test/", "http://pay.test/pay",
                                          "http://bbs.test/", kCustomerServiceUrl};
  EXPECT_EQ(desktop_.OpenedUrls(), expected);
  EXPECT_NE(std::string(kCustomerServiceUrl).find("/kefu.php"), std::string::npos);
  EXPECT_FALSE(QuitQueued());
}

TEST_F(FrameButtonsTest, CloseButtonEndsTheLoopAndMinButtonMinimises) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  ASSERT_TRUE(ClickControl(f.paintManager, "MinBtn"));
  EXPECT_TRUE(skinui::IsMinimized(f.GetHWND()));
  EXPECT_FALSE(QuitQueued());
  ASSERT_TRUE(ClickControl(f.paintManager, "CloseBtn"));
  EXPECT_TRUE(QuitQueued());
  EXPECT_EQ(skinui::test::SystemCommand(f.GetHWND(), SC_CLOSE), 0);
  EXPECT_TRUE(QuitQueued());
  EXPECT_TRUE(skinui::IsWindow(f.GetHWND()));
}

TEST_F(FrameButtonsTest, CaptionDoubleClickDoesNotMaximiseButTheSystemMenuDoes) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  skinui::test::SystemCommand(f.GetHWND(), SC_MAXIMIZE | 2);
  EXPECT_FALSE(skinui::IsMaximized(f.GetHWND()));
  CControlUI* maxButton = f.paintManager.FindControl("maxbtn");
  CControlUI* restoreButton = f.paintManager.FindControl("restorebtn");
  ASSERT_NE(maxButton, nullptr);
  ASSERT_NE(restoreButton, nullptr);
  skinui::test::SystemCommand(f.GetHWND(), SC_MAXIMIZE);
  EXPECT_TRUE(skinui::IsMaximized(f.GetHWND()));
  EXPECT_FALSE(maxButton->IsVisible());
  EXPECT_TRUE(restoreButton->IsVisible());
  skinui::test::SystemCommand(f.GetHWND(), SC_RESTORE);
  EXPECT_FALSE(skinui::IsMaximized(f.GetHWND()));
  EXPECT_TRUE(maxButton->IsVisible());
  EXPECT_FALSE(restoreButton->IsVisible());
}

TEST_F(FrameButtonsTest, DraggingTheFrameMovesTheFiveChildren) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  // Open the popup and lay it out, so that it has its own y offset.
  ASSERT_TRUE(ClickControl(f.updateWnd->paintManager, "ServerBtn"));
  skinui::test::DragWindowTo(f.GetHWND(), 40, 30);
  const RECT frameRect = WindowRect(&f);
  ASSERT_EQ(frameRect.left, 40);
  ASSERT_EQ(frameRect.top, 30);
  struct Child {
    CWindowWnd* window;
    WindowOffset offset;
  } children[] = {{f.newsWnd, f.newsPos},
                  {f.news2Wnd, f.news2Pos},
                  {f.topWnd, f.topPos},
                  {f.serverListWnd, f.serverListPos},
                  {f.updateWnd, f.updatePos}};
  for (const Child& child : children) {
    const RECT rect = WindowRect(child.window);
    EXPECT_EQ(rect.left, 40 + child.offset.x);
    EXPECT_EQ(rect.top, 30 + child.offset.y);
  }
  EXPECT_EQ(f.serverListPos.y, 580 + 46);  // empty list: bottom line, height 0
  // The news panel and the banner are raised; the others keep their order.
  const int top = skinui::GetZOrderIndex(f.topWnd->GetHWND());
  const int news = skinui::GetZOrderIndex(f.newsWnd->GetHWND());
  EXPECT_EQ(top, 0);
  EXPECT_EQ(news, 1);
  EXPECT_EQ(skinui::GetLastSetWindowPosFlags(f.news2Wnd->GetHWND()), 0x15u);
  EXPECT_EQ(skinui::GetLastSetWindowPosFlags(f.serverListWnd->GetHWND()), 0x35u);
  EXPECT_EQ(skinui::GetLastSetWindowPosFlags(f.newsWnd->GetHWND()), 0x211u);
}

TEST_F(FrameButtonsTest, CaptionBandIsHalfOpenAndClientClassesStayClientArea) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  skinui::test::DragWindowTo(f.GetHWND(), 100, 50);
  const HWND hwnd = f.GetHWND();
  // Frame skin: caption band y 0..30 over the whole width.
  EXPECT_EQ(skinui::test::NcHitTest(hwnd, ScreenPoint(&f, 100, 10)), HTCAPTION);  // logo label
  EXPECT_EQ(skinui::test::NcHitTest(hwnd, ScreenPoint(&f, 400, 29)), HTCAPTION);
  EXPECT_EQ(skinui::test::NcHitTest(hwnd, ScreenPoint(&f, 400, 30)), HTCLIENT);  // bottom edge
  EXPECT_EQ(skinui::test::NcHitTest(hwnd, ScreenPoint(&f, 400, 300)), HTCLIENT);
  const POINT closeBtn = CentreOf(f.closeBtn);
  EXPECT_EQ(skinui::test::NcHitTest(hwnd, ScreenPoint(&f, closeBtn.x, closeBtn.y)), HTCLIENT);
  const POINT title = CentreOf(f.paintManager.FindControl("TitleTxt"));
  EXPECT_EQ(skinui::test::NcHitTest(hwnd, ScreenPoint(&f, title.x, title.y)), HTCLIENT);

  // A right inset narrows the band; its right edge is outside it.
  const int width = skinui::RectWidth(WindowRect(&f));
  ASSERT_EQ(f.paintManager.FindControl(POINT{width - 11, 10}), f.paintManager.GetRoot());
  f.paintManager.SetCaptionRect(RECT{0, 0, 10, 30});
  EXPECT_EQ(skinui::test::NcHitTest(hwnd, ScreenPoint(&f, width - 11, 10)), HTCAPTION);
  EXPECT_EQ(skinui::test::NcHitTest(hwnd, ScreenPoint(&f, width - 10, 10)), HTCLIENT);  // inset
}

TEST_F(FrameButtonsTest, NonClientAnswersOfTheFrame) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  EXPECT_EQ(f.SendMessage(WM_NCACTIVATE, 0, 0), 1);
  EXPECT_EQ(f.SendMessage(WM_NCACTIVATE, 1, 0), 0);
  EXPECT_EQ(f.SendMessage(WM_NCCALCSIZE, 0, 0), 0);
  // The skin's round corner gives the window a region one pixel larger.
  const RECT frameRect = WindowRect(&f);
  const int width = skinui::RectWidth(frameRect);
  const int height = skinui::RectHeight(frameRect);
  f.SendMessage(WM_SIZE, SIZE_RESTORED, skinui::MakeLParam(width, height));
  auto region = skinui::GetWindowRegion(f.GetHWND());
  ASSERT_TRUE(region.has_value());
  EXPECT_EQ(region->rect.right, width + 1);
  EXPECT_EQ(region->rect.bottom, height + 1);
  EXPECT_EQ(region->ellipseWidth, 5);
  // The update panel's skin has no round corner: no region.
  f.updateWnd->SendMessage(WM_SIZE, SIZE_RESTORED, 0);
  EXPECT_FALSE(skinui::GetWindowRegion(f.updateWnd->GetHWND()).has_value());
  // A minimised window passes WM_NCACTIVATE on and keeps its region.
  skinui::test::SystemCommand(f.GetHWND(), SC_MINIMIZE);
  ASSERT_TRUE(skinui::IsMinimized(f.GetHWND()));
  EXPECT_EQ(f.SendMessage(WM_NCACTIVATE, 1, 0), 1);
  f.SendMessage(WM_SIZE, SIZE_MINIMIZED, 0);
  ASSERT_TRUE(skinui::GetWindowRegion(f.GetHWND()).has_value());
  EXPECT_EQ(skinui::GetWindowRegion(f.GetHWND())->rect.right, width + 1);
  skinui::test::SystemCommand(f.GetHWND(), SC_RESTORE);
  MINMAXINFO info{};
  f.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMaxSize.x, 1024);
  EXPECT_EQ(info.ptMaxSize.y, 768);
  EXPECT_EQ(info.ptMaxPosition.x, 0);
}

TEST_F(FrameButtonsTest, RegisterButtonCallsTheLibraryWithNull) {
  const std::string marker = File("register.txt");
  setenv("VELMOR_TEST_REGISTER_MARKER", marker.c_str(), 1);
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  // Missing from the program directory and from the loader's search path
  // (the fixture library sits in neither): nothing happens, nothing is reported.
  ASSERT_TRUE(ClickControl(f.paintManager, "RegisterBtn"));
  EXPECT_FALSE(testing_support::PathExists(marker));
  EXPECT_TRUE(desktop_.MessageBoxes().empty());

  const std::string library = platform::SharedLibraryFileName("Register.dll");
  testing_support::WriteFile(
      File(library), testing_support::ReadFile(std::string(VELMOR_TEST_FIXTURE_DIR) + library));
  ASSERT_TRUE(ClickControl(f.paintManager, "RegisterBtn"));
  ASSERT_TRUE(ClickControl(f.paintManager, "RegisterBtn"));
  EXPECT_EQ(testing_support::ReadFile(marker), "called with null\ncalled with null\n");

  // A damaged library is skipped quietly (the loader's search finds none).
  testing_support::WriteFile(File(library), "\x7f" "ELF, but cut off");
  ASSERT_TRUE(ClickControl(f.paintManager, "RegisterBtn"));
  EXPECT_EQ(testing_support::ReadFile(marker), "called with null\ncalled with null\n");
  unsetenv("VELMOR_TEST_REGISTER_MARKER");
}

TEST_F(FrameButtonsTest, EnterGameWhileUpdatingDisablesTheButtonAndTellsThePlayer) {
  InstallGame();
  StartUpAndPrepare();
  SettleServerListThread();
  LauncherFrameWnd& f = frame();
  SetChosenServer(ChosenServer{"10.0.0.1", "7000", "10.0.0.2", "s1"});
  f.updateNeeded = true;
  ASSERT_TRUE(ClickControl(f.paintManager, "EnterGameBtn"));
  EXPECT_FALSE(f.enterGameBtn->IsEnabled());
  ASSERT_EQ(desktop_.MessageBoxes().size(), 1u);
  EXPECT_EQ(desktop_.MessageBoxes()[0].text, "游戏正在连接服务器，请稍候！");
  EXPECT_EQ(desktop_.MessageBoxes()[0].caption, "提示");
  EXPECT_FALSE(ClickControl(f.paintManager, "EnterGameBtn"));  // disabled: no click
  EXPECT_EQ(desktop_.MessageBoxes().size(), 1u);
  EXPECT_TRUE(desktop_.QuitRequests().empty());
  EXPECT_FALSE(testing_support::PathExists(File("started.txt")));
}

TEST_F(FrameButtonsTest, EnterGameWithAChosenServerSavesItAndStartsTheGame) {
  InstallGame();
  StartUpAndPrepare();
  SettleServerListThread();
  SetChosenServer(ChosenServer{"10.0.0.1", "7000", "10.0.0.2", "s1"});
  ASSERT_TRUE(ClickControl(frame().paintManager, "EnterGameBtn"));
  EXPECT_EQ(SavedSetup("ServerAddr"), "10.0.0.1");
  EXPECT_EQ(SavedSetup("ServerPort"), "7000");
  EXPECT_EQ(SavedSetup("ChargeUrl"), "10.0.0.2");
  EXPECT_EQ(SavedSetup("ServerSid"), "");  // left as it was
  EXPECT_TRUE(WaitForGameStart());
  EXPECT_EQ(desktop_.QuitRequests(), std::vector<int>{0});
}

TEST_F(FrameButtonsTest, EnterGameWithTheSavedServerStartsTheGame) {
  InstallGame();
  Write("orvo.ini", "[Setup]\nServerAddr=10.9.9.9\nServerPort=7100\nChargeUrl=c\nServerSid=s9\n");
  StartUpAndPrepare();
  SettleServerListThread();
  ASSERT_TRUE(ClickControl(frame().paintManager, "EnterGameBtn"));
  EXPECT_TRUE(WaitForGameStart());
  EXPECT_EQ(SavedSetup("ServerAddr"), "10.9.9.9");
  EXPECT_EQ(desktop_.QuitRequests(), std::vector<int>{0});
}

TEST_F(FrameButtonsTest, EnterGameTakesTheFirstServerOfTheFirstArea) {
  InstallGame();
  StartUpAndPrepare();
  SettleServerListThread();
  LauncherFrameWnd& f = frame();
  {
    skinui::UiLockGuard guard;
    AreaInfo area;
    auto server = std::make_unique<ServerInfo>();
    server->address = "192.0.2.7";
    server->port = "7200";
    server->chargeIp = "192.0.2.8";
    server->sid = "s7";
    area.servers.push_back(std::move(server));
    f.updateWnd->areas.push_back(std::move(area));
  }
  ASSERT_TRUE(ClickControl(f.paintManager, "EnterGameBtn"));
  EXPECT_TRUE(WaitForGameStart());
  EXPECT_EQ(SavedSetup("ServerAddr"), "192.0.2.7");
  EXPECT_EQ(SavedSetup("ServerPort"), "7200");
  EXPECT_EQ(SavedSetup("ChargeUrl"), "192.0.2.8");
}

TEST_F(FrameButtonsTest, EnterGameWithNothingChosenNothingSavedAndNoListDoesNothing) {
  InstallGame();
  StartUpAndPrepare();
  SettleServerListThread();
  LauncherFrameWnd& f = frame();
  {
    skinui::UiLockGuard guard;
    f.updateWnd->areas.clear();
    f.updateWnd->areas.emplace_back();  // an area without servers
  }
  ASSERT_TRUE(ClickControl(f.paintManager, "EnterGameBtn"));
  EXPECT_TRUE(desktop_.QuitRequests().empty());
  EXPECT_TRUE(desktop_.MessageBoxes().empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(testing_support::PathExists(File("started.txt")));
}

TEST_F(FrameButtonsTest, EnterGameWithoutTheGameTellsThePlayerAndEnds) {
  StartUpAndPrepare();
  SettleServerListThread();
  SetChosenServer(ChosenServer{"10.0.0.1", "7000", "10.0.0.2", "s1"});
  ASSERT_TRUE(ClickControl(frame().paintManager, "EnterGameBtn"));
  ASSERT_EQ(desktop_.MessageBoxes().size(), 1u);
  EXPECT_EQ(desktop_.MessageBoxes()[0].caption, "错误");
  EXPECT_EQ(desktop_.QuitRequests(), std::vector<int>{0});
}

TEST_F(FrameButtonsTest, AnyClickOnTheFrameHidesTheOpenPopupFirst) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  COptionUI* serverBtn = f.updateWnd->serverBtn;
  ASSERT_TRUE(ClickControl(f.updateWnd->paintManager, "ServerBtn"));
  EXPECT_TRUE(serverBtn->IsSelected());
  EXPECT_TRUE(skinui::IsWindowVisible(f.serverListWnd->GetHWND()));
  ASSERT_TRUE(ClickControl(f.paintManager, "ForumBtn"));
  EXPECT_FALSE(serverBtn->IsSelected());
  EXPECT_FALSE(skinui::IsWindowVisible(f.serverListWnd->GetHWND()));

  // Activating the frame by the mouse hides it as well.
  ASSERT_TRUE(ClickControl(f.updateWnd->paintManager, "ServerBtn"));
  skinui::test::MouseActivate(f.GetHWND(), ScreenPoint(&f, 400, 300));
  EXPECT_FALSE(serverBtn->IsSelected());
  EXPECT_FALSE(skinui::IsWindowVisible(f.serverListWnd->GetHWND()));
}

}  // namespace
