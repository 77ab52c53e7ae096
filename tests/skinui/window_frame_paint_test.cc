// WM_NCPAINT: a window's frame is painted when it comes on screen.
#include <gtest/gtest.h>

#include <algorithm>

#include "skinui/skinui.h"
#include "tests/skinui/skin_test_window.h"
#include "tests/support/skinui/test_hooks.h"

namespace {

using skinui_test::SkinTestWindow;

class WindowFramePaintTest : public ::testing::Test {
 protected:
  void SetUp() override { skinui::DiscardPendingMessages(); }
  void TearDown() override { skinui::DiscardPendingMessages(); }

  static long Paints(SkinTestWindow& window) {
    return std::count(window.messages.begin(), window.messages.end(), WM_NCPAINT);
  }
};

TEST_F(WindowFramePaintTest, VisibleWindowIsPaintedOnceAfterCreation) {
  SkinTestWindow window;
  const HWND hwnd = window.Create(nullptr, "", WS_POPUP | WS_VISIBLE, 0, 0, 0, 100, 80);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(Paints(window), 1);
  // After creation proper: the window already has its size and place.
  EXPECT_LT(std::find(window.messages.begin(), window.messages.end(), WM_SIZE),
            std::find(window.messages.begin(), window.messages.end(), WM_NCPAINT));
  // Showing a shown window paints nothing more.
  window.ShowWindow(true);
  EXPECT_EQ(Paints(window), 1);
  skinui::DestroyWindow(hwnd);
}

TEST_F(WindowFramePaintTest, HiddenWindowIsPaintedWhenShownNotBefore) {
  SkinTestWindow window;
  const HWND hwnd = window.Create(nullptr, "", WS_POPUP, 0, 0, 0, 100, 80);
  EXPECT_EQ(Paints(window), 0);
  window.ShowWindow(true);
  EXPECT_EQ(Paints(window), 1);
  window.ShowWindow(false);
  EXPECT_EQ(Paints(window), 1);
  skinui::SetWindowPosition(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  EXPECT_EQ(Paints(window), 2);
  skinui::SetWindowPosition(hwnd, nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  EXPECT_EQ(Paints(window), 2);  // moved, but it was on screen already
  skinui::DestroyWindow(hwnd);
}

TEST_F(WindowFramePaintTest, RestoredWindowIsPaintedMinimisedIsNot) {
  SkinTestWindow window;
  const HWND hwnd = window.Create(nullptr, "", WS_POPUP | WS_VISIBLE, 0, 0, 0, 100, 80);
  ASSERT_EQ(Paints(window), 1);
  skinui::test::SystemCommand(hwnd, SC_MINIMIZE);
  EXPECT_EQ(Paints(window), 1);
  skinui::test::SystemCommand(hwnd, SC_RESTORE);
  EXPECT_EQ(Paints(window), 2);
  skinui::test::SystemCommand(hwnd, SC_MAXIMIZE);
  skinui::test::SystemCommand(hwnd, SC_RESTORE);
  EXPECT_EQ(Paints(window), 3);
  // Restoring a window that is neither minimised nor maximised changes nothing.
  skinui::ShowWindowCommand(hwnd, SW_RESTORE);
  EXPECT_EQ(Paints(window), 3);
  skinui::DestroyWindow(hwnd);
}

}  // namespace
