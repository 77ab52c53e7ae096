// The main frame's buttons, its caption band, system commands and the
// children that follow it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>

#include "launcher/serverlist/chosen_server.h"
#include "launcher/windows/news2_wnd.h"
#include "launcher/windows/news_wnd.h"
#include "launcher/windows/server_list_wnd.h"
#include "launcher/windows/top_wnd.h"
#include "launcher/windows/update_wnd.h"
#include "platform/ini_file.h"
#include "platform/shared_library.h"
#include "skinui/activex.h"
#include "skinui/button.h"
#include "skinui/window_system.h"
#include "tests/launcher/launcher_program_fixture.h"
#include "tests/support/scramble.h"
#include "tests/support/skinui/test_hooks.h"
#include "tests/support/wait_until.h"

namespace {

using launcher_test::LauncherProgramTest;
using launcher_test::WindowRect;
using skinui::test::ClickControl;

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
  // Installs a stand-in game that records its arguments in started.txt,
  // starts up and lets the server-list thread settle.
  void StartWithGame() {
    Write("orvo.exe", "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/started.txt\"\n");
    chmod(File("orvo.exe").c_str(), 0755);
    StartUpAndPrepare();
    SettleServerListThread();
  }
  void ExpectGameStartedWith(const char* savedAddress) {
    EXPECT_TRUE(testing_support::WaitUntil(
        [this] { return testing_support::ReadFile(File("started.txt")) == "ws\n"; }));
    EXPECT_EQ(SavedSetup("ServerAddr"), savedAddress);
    EXPECT_EQ(desktop_.QuitRequests(), std::vector<int>{0});
  }
  // Replaces the update panel's list by one area with `servers` servers.
  void SetAreas(int servers) {
    UIUpdateWnd& panel = *frame().updateWnd;
    panel.areas.clear();
    panel.areas.emplace_back();
    for (int i = 0; i < servers; ++i) {
      auto server = std::make_unique<ServerInfo>();
      server->address = "192.0.2.7";
      server->port = "7200";
      panel.areas.back().servers.push_back(std::move(server));
    }
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
  for (const char* button : {"WebBtn", "RechargeBtn", "ForumBtn", "CustServiceBtn"})
    ASSERT_TRUE(ClickControl(f.paintManager, button));
  const std::vector<std::string> expected{"http://site.test/", "http://pay.test/pay",
                                          "http://bbs.test/", kCustomerServiceUrl};
  EXPECT_EQ(desktop_.OpenedUrls(), expected);
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
}

TEST_F(FrameButtonsTest, CaptionDoubleClickDoesNotMaximiseButTheSystemMenuDoes) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  skinui::test::SystemCommand(f.GetHWND(), SC_MAXIMIZE | 2);
  EXPECT_FALSE(skinui::IsMaximized(f.GetHWND()));
  CControlUI* maxButton = f.paintManager.FindControl("maxbtn");
  CControlUI* restoreButton = f.paintManager.FindControl("restorebtn");
  ASSERT_TRUE(maxButton && restoreButton);
  skinui::test::SystemCommand(f.GetHWND(), SC_MAXIMIZE);
  EXPECT_TRUE(skinui::IsMaximized(f.GetHWND()));
  EXPECT_FALSE(maxButton->IsVisible());
  EXPECT_TRUE(restoreButton->IsVisible());
  skinui::test::SystemCommand(f.GetHWND(), SC_RESTORE);
  EXPECT_FALSE(skinui::IsMaximized(f.GetHWND()));
  EXPECT_TRUE(maxButton->IsVisible());
}

TEST_F(FrameButtonsTest, DraggingTheFrameMovesTheFiveChildren) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  // Open the popup and lay it out, so that it has its own y offset.
  ASSERT_TRUE(ClickControl(f.updateWnd->paintManager, "ServerBtn"));
  skinui::test::DragWindowTo(f.GetHWND(), 40, 30);
  ASSERT_EQ(WindowRect(&f).left, 40);
  const struct {
    CWindowWnd* window;
    WindowOffset offset;
  } children[] = {{f.newsWnd, f.newsPos},
                  {f.news2Wnd, f.news2Pos},
                  {f.topWnd, f.topPos},
                  {f.serverListWnd, f.serverListPos},
                  {f.updateWnd, f.updatePos}};
  for (const auto& child : children) {
    const RECT rect = WindowRect(child.window);
    EXPECT_EQ(rect.left, 40 + child.offset.x);
    EXPECT_EQ(rect.top, 30 + child.offset.y);
  }
  EXPECT_EQ(f.serverListPos.y, 580 + 46);  // empty list: bottom line, height 0
  // The news panel and the banner are raised; the others keep their order.
  EXPECT_EQ(skinui::test::ZOrderIndex(f.topWnd->GetHWND()), 0);
  EXPECT_EQ(skinui::test::ZOrderIndex(f.newsWnd->GetHWND()), 1);
}

TEST_F(FrameButtonsTest, CaptionBandIsHalfOpenAndClientClassesStayClientArea) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  skinui::test::DragWindowTo(f.GetHWND(), 100, 50);
  const HWND hwnd = f.GetHWND();
  // Frame skin: caption band y 0..30 over the whole width; the logo label is
  // caption, the button and the title text are client area.
  const std::pair<POINT, LRESULT> cases[] = {
      {{100, 10}, HTCAPTION},
      {{400, 29}, HTCAPTION},
      {{400, 30}, HTCLIENT},
      {CentreOf(f.closeBtn), HTCLIENT},
      {CentreOf(f.paintManager.FindControl("TitleTxt")), HTCLIENT}};
  for (const auto& [point, expected] : cases)
    EXPECT_EQ(skinui::test::NcHitTest(hwnd, ScreenPoint(&f, point.x, point.y)), expected)
        << point.x << "," << point.y;

  // A right inset narrows the band; its right edge is outside it.
  const int width = skinui::RectWidth(WindowRect(&f));
  ASSERT_EQ(f.paintManager.FindControl(POINT{width - 11, 10}), f.paintManager.GetRoot());
  f.paintManager.SetCaptionRect(RECT{0, 0, 10, 30});
  EXPECT_EQ(skinui::test::NcHitTest(hwnd, ScreenPoint(&f, width - 11, 10)), HTCAPTION);
  EXPECT_EQ(skinui::test::NcHitTest(hwnd, ScreenPoint(&f, width - 10, 10)), HTCLIENT);  // inset
}

TEST_F(FrameButtonsTest, RoundCornerRegionAndMaximumSize) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  // The skin's round corner gives the window a region one pixel larger.
  const int width = skinui::RectWidth(WindowRect(&f));
  const int height = skinui::RectHeight(WindowRect(&f));
  f.SendMessage(WM_SIZE, SIZE_RESTORED, skinui::MakeLParam(width, height));
  auto region = skinui::GetWindowRegion(f.GetHWND());
  ASSERT_TRUE(region.has_value());
  EXPECT_EQ(region->rect.bottom, height + 1);
  // The update panel's skin has no round corner: no region.
  f.updateWnd->SendMessage(WM_SIZE, SIZE_RESTORED, 0);
  EXPECT_FALSE(skinui::GetWindowRegion(f.updateWnd->GetHWND()).has_value());
  // Maximising fills the work area.
  MINMAXINFO info{};
  f.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMaxSize.x, 1024);
  EXPECT_EQ(info.ptMaxSize.y, 768);
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

  // A damaged library is skipped quietly.
  testing_support::WriteFile(File(library),
                             "\x7f"
                             "ELF, but cut off");
  ASSERT_TRUE(ClickControl(f.paintManager, "RegisterBtn"));
  EXPECT_EQ(testing_support::ReadFile(marker), "called with null\ncalled with null\n");
  unsetenv("VELMOR_TEST_REGISTER_MARKER");
}

// What the sign-up window showed while it was up.
struct SignUpSeen {
  bool shown = false;
  bool ownedByTheDisabledFrame = false;
  std::string page;
};

// How the player ends the sign-up window: its close button, Escape, the
// window manager's close; or the launcher is asked to end while it is up.
enum SignUpEnd { kCloseButton, kEscape, kWindowManager, kQuit };

HWND FindSignUpWindow() {
  for (HWND hwnd : skinui::GetZOrder()) {
    if (skinui::GetWindowClassName(hwnd) == "UIRegisterFrame") return hwnd;
  }
  return nullptr;
}

TEST_F(FrameButtonsTest, RegisterButtonShowsTheSignUpPageModallyThroughTheRealLibrary) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  const std::string library = platform::SharedLibraryFileName("Register.dll");
  testing_support::WriteFile(File(library), testing_support::ReadFile(VELMOR_REGISTER_LIBRARY));
  const std::string page = "http://127.0.0.1:9/reg.php?from=launcher";
  const struct {
    const char* name;
    std::function<void()> writeWebIni;
    std::string page;
    SignUpEnd end;
  } cases[] = {
      {"plain", [&] { Write("web.ini", "[Web]\nRegisterUrl=" + page + "\n"); }, page, kCloseButton},
      {"scrambled",
       [&] {
         testing_support::WriteScrambledFile(File("web.ini"),
                                             "[Web]\r\nRegisterUrl=" + page + "\r\n");
       },
       page, kEscape},
      {"no key", [&] { Write("web.ini", "[Web]\nBBSUrl=http://bbs.test/\n"); },
       "http://www.velmorsoft.com/reg.php", kWindowManager},
      {"quit while shown", [&] { Write("web.ini", "[Web]\nRegisterUrl=" + page + "\n"); }, page,
       kQuit},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.writeWebIni();
    SignUpSeen seen;
    // Runs inside the window's modal loop: looks, then closes it as a player
    // would (or asks the launcher to end).
    skinui::PostToUiThread([&seen, &f, &c] {
      const HWND hwnd = FindSignUpWindow();
      CPaintManagerUI* manager = CPaintManagerUI::FromWindow(hwnd);
      if (!hwnd || !manager) {
        if (hwnd) skinui::PostMessage(hwnd, WM_CLOSE);
        return;
      }
      seen.shown = skinui::IsWindowVisible(hwnd);
      seen.ownedByTheDisabledFrame =
          skinui::GetOwner(hwnd) == f.GetHWND() && !skinui::IsWindowEnabled(f.GetHWND());
      CControlUI* control = manager->FindControl("RegisterWeb");
      auto* browser =
          control ? static_cast<CActiveXUI*>(control->GetInterface("ActiveX")) : nullptr;
      if (browser) seen.page = browser->GetLastNavigatedUrl();
      if (c.end == kQuit) {
        skinui::PostQuitMessage(0);
      } else if (c.end == kEscape) {
        skinui::SendMessage(hwnd, WM_KEYDOWN, VK_ESCAPE);
      } else if (c.end == kWindowManager) {
        skinui::test::SystemCommand(hwnd, SC_CLOSE);
      } else if (!ClickControl(*manager, "CloseBtn")) {
        skinui::PostMessage(hwnd, WM_CLOSE);
      }
    });
    ASSERT_TRUE(ClickControl(f.paintManager, "RegisterBtn"));
    EXPECT_TRUE(seen.shown);
    EXPECT_TRUE(seen.ownedByTheDisabledFrame);
    EXPECT_EQ(seen.page, c.page);
    // The library is gone again, and so is every window of its code.
    EXPECT_EQ(FindSignUpWindow(), nullptr);
    EXPECT_TRUE(skinui::IsWindowEnabled(f.GetHWND()));
    // The quit request stays for the launcher's own loop.
    if (c.end == kQuit) {
      EXPECT_GE(skinui::DiscardPendingMessages(), 1);
    }
  }
  EXPECT_TRUE(desktop_.MessageBoxes().empty());
}

TEST_F(FrameButtonsTest, EnterGameWhileUpdatingDisablesTheButtonAndTellsThePlayer) {
  StartWithGame();
  SetChosenServer(ChosenServer{"10.0.0.1", "7000", "10.0.0.2", "s1"});
  frame().updateNeeded = true;
  ASSERT_TRUE(ClickControl(frame().paintManager, "EnterGameBtn"));
  EXPECT_FALSE(frame().enterGameBtn->IsEnabled());
  ASSERT_EQ(desktop_.MessageBoxes().size(), 1u);
  EXPECT_EQ(desktop_.MessageBoxes()[0].text, "游戏正在连接服务器，请稍候！");
  EXPECT_FALSE(ClickControl(frame().paintManager, "EnterGameBtn"));  // disabled: no click
  EXPECT_TRUE(desktop_.QuitRequests().empty());
  EXPECT_FALSE(testing_support::PathExists(File("started.txt")));
}

TEST_F(FrameButtonsTest, EnterGameWithAChosenServerSavesItAndStartsTheGame) {
  StartWithGame();
  SetChosenServer(ChosenServer{"10.0.0.1", "7000", "10.0.0.2", "s1"});
  ASSERT_TRUE(ClickControl(frame().paintManager, "EnterGameBtn"));
  ExpectGameStartedWith("10.0.0.1");
  EXPECT_EQ(SavedSetup("ServerPort"), "7000");
  EXPECT_EQ(SavedSetup("ChargeUrl"), "10.0.0.2");
}

TEST_F(FrameButtonsTest, EnterGameWithTheSavedServerStartsTheGame) {
  Write("orvo.ini", "[Setup]\nServerAddr=10.9.9.9\nServerPort=7100\nChargeUrl=c\nServerSid=s9\n");
  StartWithGame();
  ASSERT_TRUE(ClickControl(frame().paintManager, "EnterGameBtn"));
  ExpectGameStartedWith("10.9.9.9");
}

TEST_F(FrameButtonsTest, EnterGameTakesTheFirstServerOfTheFirstArea) {
  StartWithGame();
  SetAreas(1);
  ASSERT_TRUE(ClickControl(frame().paintManager, "EnterGameBtn"));
  ExpectGameStartedWith("192.0.2.7");
  EXPECT_EQ(SavedSetup("ServerPort"), "7200");
}

TEST_F(FrameButtonsTest, EnterGameWithNothingChosenNothingSavedAndNoListDoesNothing) {
  StartWithGame();
  SetAreas(0);  // an area without servers
  ASSERT_TRUE(ClickControl(frame().paintManager, "EnterGameBtn"));
  // A game start asks the quit after the game has been executed, before the
  // click returns: no quit means no game was started.
  EXPECT_TRUE(desktop_.QuitRequests().empty());
  EXPECT_TRUE(desktop_.MessageBoxes().empty());
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
  ASSERT_TRUE(skinui::IsWindowVisible(f.serverListWnd->GetHWND()));
  ASSERT_TRUE(ClickControl(f.paintManager, "ForumBtn"));
  EXPECT_FALSE(serverBtn->IsSelected());
  EXPECT_FALSE(skinui::IsWindowVisible(f.serverListWnd->GetHWND()));

  // Activating the frame by the mouse hides it as well.
  ASSERT_TRUE(ClickControl(f.updateWnd->paintManager, "ServerBtn"));
  skinui::test::MouseActivate(f.GetHWND(), ScreenPoint(&f, 400, 300));
  EXPECT_FALSE(skinui::IsWindowVisible(f.serverListWnd->GetHWND()));
}

}  // namespace
