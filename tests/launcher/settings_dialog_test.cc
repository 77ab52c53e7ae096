// The settings dialog over its background window, opened by "GameSetBtn".
// Both run modally, so each test acts from inside the dialog's own loop.
#include <gtest/gtest.h>

#include <functional>

#include "launcher/config/game_settings.h"
#include "launcher/windows/game_setting_wnd.h"
#include "platform/ini_file.h"
#include "skinui/button.h"
#include "skinui/window_system.h"
#include "tests/launcher/launcher_program_fixture.h"
#include "tests/support/skinui/test_hooks.h"

namespace {

using launcher_test::LauncherProgramTest;
using skinui::test::ClickControl;

class SettingsDialogTest : public LauncherProgramTest {
 protected:
  // Runs `act` inside the modal loop once the dialog is open; gives up after
  // a bounded number of looks (the test then closes every window).
  static void WhenDialogOpen(std::function<void(UIGameSettingWnd&)> act, int looksLeft = 2000) {
    skinui::PostToUiThread([act, looksLeft] {
      if (UIGameSettingWnd* dialog = UIGameSettingWnd::OpenDialog()) {
        act(*dialog);
      } else if (looksLeft > 0) {
        WhenDialogOpen(act, looksLeft - 1);
      } else {
        ADD_FAILURE() << "the settings dialog did not open";
        for (HWND hwnd : skinui::GetZOrder()) {
          const std::string name = skinui::GetWindowClassName(hwnd);
          if (name == "UIBackGround") skinui::PostMessage(hwnd, WM_CLOSE);
        }
      }
    });
  }

  // Opens the settings, runs `act` in the dialog and returns once both
  // windows are closed.
  void OpenSettings(std::function<void(UIGameSettingWnd&)> act) {
    WhenDialogOpen(std::move(act));
    ASSERT_TRUE(ClickControl(frame().paintManager, "GameSetBtn"));
    EXPECT_EQ(UIGameSettingWnd::OpenDialog(), nullptr);
    for (HWND hwnd : skinui::GetZOrder()) {
      EXPECT_NE(skinui::GetWindowClassName(hwnd), "UIBackGround");
      EXPECT_NE(skinui::GetWindowClassName(hwnd), "UIGameSettingFrame");
    }
  }

  std::string Stored(const char* key) {
    return platform::ReadIniString(File("resolution.ini"), "Setting", key, "<missing>");
  }

  static std::vector<int> SelectedResolutions(UIGameSettingWnd& dialog) {
    std::vector<int> selected;
    for (int i = 0; i < 4; ++i) {
      if (dialog.resolutionOptions[i] && dialog.resolutionOptions[i]->IsSelected())
        selected.push_back(i);
    }
    return selected;
  }
};

TEST_F(SettingsDialogTest, OpensWithTheStoredCodeAndOkStoresItAgain) {
  Write("resolution.ini", "[Setting]\nFullScreen=1\nResolution=2\nVoice=0\n");
  StartUpAndPrepare();
  bool seen = false;
  OpenSettings([this, &seen](UIGameSettingWnd& dialog) {
    seen = true;
    EXPECT_EQ(SelectedResolutions(dialog), std::vector<int>{2});
    ASSERT_NE(dialog.fullScreenOption, nullptr);
    EXPECT_FALSE(dialog.fullScreenOption->IsSelected());  // full screen: not windowed
    EXPECT_FALSE(frame().gameSetBtn->IsEnabled());
    EXPECT_FALSE(skinui::IsWindowEnabled(frame().GetHWND()));  // modal over the frame
    EXPECT_TRUE(ClickControl(dialog.paintManager, "OkBtn"));
  });
  EXPECT_TRUE(seen);
  EXPECT_EQ(Stored("Resolution"), "2");
  EXPECT_EQ(Stored("FullScreen"), "1");
  EXPECT_TRUE(frame().gameSetBtn->IsEnabled());
  EXPECT_TRUE(skinui::IsWindowEnabled(frame().GetHWND()));

  // No stored code selects the first, and OK stores "0".
  GameSettings().Resolution.clear();
  GameSettings().FullScreen = false;
  OpenSettings([](UIGameSettingWnd& dialog) {
    EXPECT_EQ(SelectedResolutions(dialog), std::vector<int>{0});
    EXPECT_TRUE(dialog.fullScreenOption->IsSelected());
    EXPECT_TRUE(ClickControl(dialog.paintManager, "OkBtn"));
  });
  EXPECT_EQ(Stored("Resolution"), "0");
  EXPECT_EQ(Stored("FullScreen"), "0");
}

TEST_F(SettingsDialogTest, CancelStoresNothingButTheFullScreenFlagStaysInMemory) {
  Write("resolution.ini", "[Setting]\nFullScreen=0\nResolution=1\nVoice=1\n");
  StartUpAndPrepare();
  const std::string file = testing_support::ReadFile(File("resolution.ini"));
  OpenSettings([](UIGameSettingWnd& dialog) {
    EXPECT_TRUE(ClickControl(dialog.paintManager, "FullScreenOption"));
    EXPECT_TRUE(ClickControl(dialog.paintManager, "pel800_600"));
    EXPECT_TRUE(ClickControl(dialog.paintManager, "CancelBtn"));
  });
  EXPECT_EQ(testing_support::ReadFile(File("resolution.ini")), file);
  EXPECT_TRUE(GameSettings().FullScreen);
  EXPECT_EQ(GameSettings().Resolution, "1");
  // The next dialog starts from the stored code and shows the inverted flag;
  // its OK writes that flag and the newly chosen code.
  OpenSettings([](UIGameSettingWnd& dialog) {
    EXPECT_EQ(SelectedResolutions(dialog), std::vector<int>{1});
    EXPECT_FALSE(dialog.fullScreenOption->IsSelected());
    EXPECT_TRUE(ClickControl(dialog.paintManager, "pel1280_768"));
    EXPECT_EQ(dialog.pendingResolution, "3");
    EXPECT_TRUE(ClickControl(dialog.paintManager, "OkBtn"));
  });
  EXPECT_EQ(Stored("FullScreen"), "1");
  EXPECT_EQ(Stored("Resolution"), "3");
}

TEST_F(SettingsDialogTest, TheWindowManagersCloseIsCancel) {
  StartUpAndPrepare();
  // On the dialog, then on its backdrop: both windows go, nothing is stored
  // and the settings button works again.
  const std::string file = testing_support::ReadFile(File("resolution.ini"));
  OpenSettings([](UIGameSettingWnd& dialog) {
    EXPECT_TRUE(ClickControl(dialog.paintManager, "pel1280_800"));
    skinui::test::SystemCommand(dialog.GetHWND(), SC_CLOSE);
  });
  EXPECT_TRUE(frame().gameSetBtn->IsEnabled());
  OpenSettings([](UIGameSettingWnd& dialog) {
    skinui::test::SystemCommand(skinui::GetOwner(dialog.GetHWND()), SC_CLOSE);
  });
  EXPECT_TRUE(frame().gameSetBtn->IsEnabled());
  EXPECT_EQ(testing_support::ReadFile(File("resolution.ini")), file);
}

TEST_F(SettingsDialogTest, BackgroundPlacementFollowsTheLayoutMode) {
  desktop_.SetDisplayMode(platform::DisplayMode{1280, 720, 32, 60});
  StartUpAndPrepare();
  RECT background{};
  OpenSettings([&background](UIGameSettingWnd& dialog) {
    skinui::GetWindowRect(skinui::GetOwner(dialog.GetHWND()), &background);
    EXPECT_TRUE(ClickControl(dialog.paintManager, "CancelBtn"));
  });
  const RECT frameRect = launcher_test::WindowRect(&frame());
  EXPECT_EQ(background.left - frameRect.left, 180);
  EXPECT_EQ(background.top - frameRect.top, 180);
}

TEST_F(SettingsDialogTest, DialogWithoutItsOptionsKeepsTheStoredCode) {
  WriteSkins({{"setting.xml",
               "<Window size=\"360,220\"><VerticalLayout>"
               "<Button name=\"OkBtn\" float=\"true\" pos=\"90,170,170,200\"/>"
               "</VerticalLayout></Window>"}});
  Write("resolution.ini", "[Setting]\nFullScreen=0\nResolution=2\nVoice=1\n");
  StartUpAndPrepare();
  OpenSettings([](UIGameSettingWnd& dialog) {
    EXPECT_EQ(dialog.fullScreenOption, nullptr);
    EXPECT_TRUE(dialog.pendingResolution.empty());
    EXPECT_TRUE(ClickControl(dialog.paintManager, "OkBtn"));
  });
  // No option was bound: nothing was chosen, so the stored code stays.
  EXPECT_EQ(Stored("Resolution"), "2");
}

}  // namespace
