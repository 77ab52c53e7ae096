#include <gtest/gtest.h>

#include <algorithm>

#include "skinui/skinui.h"
#include "skinui/window_wnd.h"
#include "tests/skinui/skin_test_window.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/skinui/test_hooks.h"

namespace {

using skinui_test::MakeWindow;
using skinui_test::SkinTestWindow;

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skinui::DiscardPendingMessages();
    // The work area follows the display mode.
    desktop_.SetDisplayMode(platform::DisplayMode{1024, 728, 32, 60});
  }
  void TearDown() override { skinui::DiscardPendingMessages(); }

  testing_support::RecordingDesktop desktop_;
};

TEST_F(WindowTest, CreateSendsCreateSynchronouslyThenSizeAndMove) {
  SkinTestWindow window;
  HWND seenInCreate = nullptr;
  window.onMessage = [&](UINT message, WPARAM, LPARAM, LRESULT&) {
    if (message == WM_CREATE) seenInCreate = window.GetHWND();
    return false;
  };
  const HWND hwnd = window.Create(nullptr, "Title", WS_POPUP | WS_VISIBLE, 0, 10, 20, 300, 200);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(seenInCreate, hwnd);
  const auto create = std::find(window.messages.begin(), window.messages.end(), WM_CREATE);
  const auto size = std::find(window.messages.begin(), window.messages.end(), WM_SIZE);
  ASSERT_NE(create, window.messages.end());
  ASSERT_NE(size, window.messages.end());
  EXPECT_LT(create, size);
  EXPECT_EQ(skinui::GetWindowText(hwnd), "Title");
  EXPECT_EQ(window.Create(nullptr, "", 0, 0), nullptr);  // one window per object
  skinui::DestroyWindow(hwnd);
}

TEST_F(WindowTest, CreateThatAnswersMinusOneLeavesNoWindow) {
  SkinTestWindow window;
  bool finalRan = false;
  window.finalFlag = &finalRan;
  window.onMessage = [](UINT message, WPARAM, LPARAM, LRESULT& result) {
    result = -1;
    return message == WM_CREATE;
  };
  EXPECT_EQ(window.Create(nullptr, "", WS_POPUP, 0, 0, 0, 10, 10), nullptr);
  EXPECT_EQ(window.GetHWND(), nullptr);
  EXPECT_TRUE(finalRan);
}

TEST_F(WindowTest, CloseDestroysFromTheLoopAndRunsTheFinalStepLast) {
  bool finalRan = false;
  auto* window = new SkinTestWindow(std::string(), true);
  window->finalFlag = &finalRan;
  const HWND hwnd = window->Create(nullptr, "", WS_POPUP, 0, 0, 0, 10, 10);
  window->Close();
  EXPECT_TRUE(skinui::IsWindow(hwnd));  // posted, not yet handled
  skinui::PumpPendingMessages();
  EXPECT_FALSE(skinui::IsWindow(hwnd));
  EXPECT_TRUE(finalRan);  // and the object deleted itself without harm
  EXPECT_FALSE(skinui::PostMessage(hwnd, WM_USER));
  EXPECT_EQ(skinui::SendMessage(hwnd, WM_USER), 0);
}

TEST_F(WindowTest, DestroyingAnOwnerDestroysItsOwnedWindowsFirst) {
  std::vector<HWND> destroyed;
  SkinTestWindow owner, child;
  const HWND ownerHwnd = owner.Create(nullptr, "", WS_POPUP, 0, 0, 0, 100, 100);
  const HWND childHwnd = child.Create(ownerHwnd, "", WS_POPUP, 0, 0, 0, 50, 50);
  for (SkinTestWindow* w : {&owner, &child}) {
    w->onMessage = [&destroyed, w](UINT message, WPARAM, LPARAM, LRESULT&) {
      if (message == WM_DESTROY) destroyed.push_back(w->GetHWND());
      return false;
    };
  }
  EXPECT_EQ(skinui::GetOwner(childHwnd), ownerHwnd);
  skinui::DestroyWindow(ownerHwnd);
  ASSERT_EQ(destroyed.size(), 2u);
  EXPECT_EQ(destroyed[0], childHwnd);
  EXPECT_EQ(destroyed[1], ownerHwnd);
  EXPECT_EQ(child.GetHWND(), nullptr);
}

TEST_F(WindowTest, DeletingTheObjectLeavesTheWindowWithDefaultProcessing) {
  auto* window = MakeWindow("", 0, 0, 100, 100);
  const HWND hwnd = window->GetHWND();
  delete window;
  ASSERT_TRUE(skinui::IsWindow(hwnd));
  EXPECT_EQ(skinui::SendMessage(hwnd, WM_NCHITTEST, 0, 0), HTCLIENT);
  skinui::SendMessage(hwnd, WM_CLOSE);
  EXPECT_FALSE(skinui::IsWindow(hwnd));
}

TEST_F(WindowTest, SystemCommandsMinimiseMaximiseRestoreAndClose) {
  SkinTestWindow window;
  const HWND hwnd = window.Create(nullptr, "", WS_POPUP | WS_VISIBLE, 0, 100, 50, 300, 200);
  skinui::test::SystemCommand(hwnd, SC_MINIMIZE);
  EXPECT_TRUE(skinui::IsMinimized(hwnd));
  skinui::test::SystemCommand(hwnd, SC_RESTORE);
  EXPECT_FALSE(skinui::IsMinimized(hwnd));

  skinui::test::SystemCommand(hwnd, SC_MAXIMIZE | 2);  // the caption's double-click form
  EXPECT_TRUE(skinui::IsMaximized(hwnd));
  RECT rect;
  skinui::GetWindowRect(hwnd, &rect);
  EXPECT_TRUE(rect == (RECT{0, 0, 1024, 728}));

  skinui::test::SystemCommand(hwnd, SC_RESTORE);
  EXPECT_FALSE(skinui::IsMaximized(hwnd));
  skinui::GetWindowRect(hwnd, &rect);
  EXPECT_TRUE(rect == (RECT{100, 50, 400, 250}));

  skinui::test::SystemCommand(hwnd, SC_CLOSE);
  EXPECT_FALSE(skinui::IsWindow(hwnd));
}

TEST_F(WindowTest, ScreenPointsConvertToClientPoints) {
  SkinTestWindow window;
  const HWND hwnd = window.Create(nullptr, "", WS_POPUP, 0, 30, 40, 200, 100);
  POINT point{35, 45};
  ASSERT_TRUE(skinui::ScreenToClient(hwnd, &point));
  EXPECT_TRUE(point.x == 5 && point.y == 5);
  skinui::DestroyWindow(hwnd);
}

TEST_F(WindowTest, CenterWindowOverTheOwnerOrTheWorkArea) {
  SkinTestWindow owner, child, lonely;
  const HWND ownerHwnd = owner.Create(nullptr, "", WS_POPUP | WS_VISIBLE, 0, 100, 100, 400, 300);
  child.Create(ownerHwnd, "", WS_POPUP | WS_VISIBLE, 0, 0, 0, 200, 100);
  child.CenterWindow();
  RECT rect;
  skinui::GetWindowRect(child.GetHWND(), &rect);
  EXPECT_TRUE(rect == (RECT{200, 200, 400, 300}));

  lonely.Create(nullptr, "", WS_POPUP, 0, 0, 0, 24, 28);
  lonely.CenterWindow();
  skinui::GetWindowRect(lonely.GetHWND(), &rect);
  EXPECT_TRUE(rect == (RECT{500, 350, 524, 378}));
  // Too wide and too tall for the 1024 x 768 work area: the top-right
  // corner (caption band, close button) stays on it.
  skinui::MoveWindow(lonely.GetHWND(), 0, 0, 1100, 800);
  lonely.CenterWindow();
  skinui::GetWindowRect(lonely.GetHWND(), &rect);
  EXPECT_TRUE(rect == (RECT{-76, 0, 1024, 800}));
  skinui::DestroyWindow(ownerHwnd);
  skinui::DestroyWindow(lonely.GetHWND());
}

TEST_F(WindowTest, AQuitMetByAModalLoopIsKeptForTheOuterLoop) {
  SkinTestWindow dialog;
  const HWND hwnd = dialog.Create(nullptr, "", WS_POPUP, 0, 0, 0, 50, 50);
  skinui::PostQuitMessage(3);
  dialog.ShowModal();
  EXPECT_TRUE(skinui::IsWindow(hwnd));
  EXPECT_EQ(skinui::RunMessageLoop(), 3);
  skinui::DestroyWindow(hwnd);
}

TEST_F(WindowTest, AModalWindowStaysAboveWindowsMadeOrRaisedWhileItRuns) {
  SkinTestWindow frame, panel, dialog, child, late;
  const HWND frameHwnd = frame.Create(nullptr, "", WS_POPUP | WS_VISIBLE, 0, 0, 0, 50, 50);
  const HWND panelHwnd = panel.Create(frameHwnd, "", WS_POPUP | WS_VISIBLE, 0, 0, 0, 50, 50);
  const HWND dialogHwnd = dialog.Create(frameHwnd, "", WS_POPUP, 0, 0, 0, 50, 50);
  skinui::PostToUiThread([&] {
    late.Create(frameHwnd, "", WS_POPUP | WS_VISIBLE, 0, 0, 0, 50, 50);
    skinui::SetWindowPosition(panelHwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    child.Create(dialogHwnd, "", WS_POPUP | WS_VISIBLE, 0, 0, 0, 50, 50);  // owned: above it
    EXPECT_EQ(skinui::GetZOrder(), (std::vector<HWND>{child.GetHWND(), dialogHwnd, panelHwnd,
                                                      late.GetHWND(), frameHwnd}));
    skinui::DestroyWindow(dialogHwnd);
  });
  dialog.ShowModal();
  // Its loop over, nothing is held above the rest.
  skinui::SetWindowPosition(late.GetHWND(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(skinui::test::ZOrderIndex(late.GetHWND()), 0);
  skinui::DestroyWindow(frameHwnd);
}

}  // namespace
