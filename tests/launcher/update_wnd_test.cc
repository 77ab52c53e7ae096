// The update panel: progress display, its tabs and option buttons, and the
// worker-facing operations under load from another thread.
#include "launcher/windows/update_wnd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>

#include "launcher/config/game_settings.h"
#include "launcher/windows/server_list_wnd.h"
#include "skinui/button.h"
#include "skinui/progress.h"
#include "skinui/window_system.h"
#include "tests/launcher/launcher_program_fixture.h"
#include "tests/support/skinui/test_hooks.h"

namespace {

using launcher_test::LauncherProgramTest;
using skinui::test::ClickControl;

class UpdateWndTest : public LauncherProgramTest {
 protected:
  UIUpdateWnd& panel() { return *frame().updateWnd; }
};

// Skin: bar at x 30, 350 wide, maximum 100; image at y 42, 20 x 24.
TEST_F(UpdateWndTest, ProgressShowsTextBarAndImage) {
  StartUpAndPrepare();
  UIUpdateWnd& p = panel();
  ASSERT_TRUE(p.progressCtrl && p.progressImg);
  // "windowinit" placed the image at the bar's value 0.
  EXPECT_EQ(p.progressImg->GetPos().left, 30 - 5);

  p.SetProgress(100);
  EXPECT_EQ(p.progressTxt->GetText(), "100%");
  EXPECT_EQ(p.progressCtrl->GetValue(), 100);
  const RECT image = p.progressImg->GetPos();
  EXPECT_EQ(image.left, 30 + 350 - 5);
  EXPECT_EQ(image.top, 42);
  EXPECT_EQ(image.right - image.left, 20);

  p.SetProgress(99.9f);
  EXPECT_EQ(p.progressTxt->GetText(), "99%");

  p.progressCtrl->SetMaxValue(200);
  p.SetProgress(49.99f);
  EXPECT_EQ(p.progressTxt->GetText(), "49%");
  EXPECT_EQ(p.progressCtrl->GetValue(), 99);

  // Values outside the range stay defined.
  p.SetProgress(-1e30f);
  p.SetProgress(1e30f);
  p.SetProgress(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(p.progressTxt->GetText(), "0%");
  EXPECT_GE(p.progressCtrl->GetValue(), 0);
}

TEST_F(UpdateWndTest, SkinWithoutProgressImageStillShowsProgress) {
  std::string server = testing_support::ReadFile(std::string(VELMOR_TEST_SKINS_DIR) + "server.xml");
  const size_t image = server.find("<Control name=\"ProgressImg\"");
  ASSERT_NE(image, std::string::npos);
  server.erase(image, server.find("/>", image) + 2 - image);
  WriteSkins({{"server.xml", server}});
  StartUpAndPrepare();
  UIUpdateWnd& p = panel();
  EXPECT_EQ(p.progressImg, nullptr);
  p.SetProgress(42);
  EXPECT_EQ(p.progressCtrl->GetValue(), 42);
}

TEST_F(UpdateWndTest, FullScreenOptionInvertsTheSettingInMemoryOnly) {
  StartUpAndPrepare();
  const bool before = GameSettings().FullScreen;
  const std::string file = testing_support::ReadFile(File("resolution.ini"));
  ASSERT_TRUE(ClickControl(panel().paintManager, "FullScreenOption"));
  EXPECT_EQ(GameSettings().FullScreen, !before);
  EXPECT_EQ(testing_support::ReadFile(File("resolution.ini")), file);
  ASSERT_TRUE(ClickControl(panel().paintManager, "FullScreenOption"));
  EXPECT_EQ(GameSettings().FullScreen, before);
}

TEST_F(UpdateWndTest, ServerButtonTogglesThePopupAndOtherClicksHideIt) {
  StartUpAndPrepare();
  const HWND popup = frame().serverListWnd->GetHWND();
  ASSERT_TRUE(ClickControl(panel().paintManager, "ServerBtn"));
  EXPECT_TRUE(skinui::IsWindowVisible(popup));
  EXPECT_TRUE(panel().serverBtn->IsSelected());
  ASSERT_TRUE(ClickControl(panel().paintManager, "ServerBtn"));
  EXPECT_FALSE(skinui::IsWindowVisible(popup));

  ASSERT_TRUE(ClickControl(panel().paintManager, "ServerBtn"));
  ASSERT_TRUE(ClickControl(panel().paintManager, "DServer"));
  EXPECT_FALSE(skinui::IsWindowVisible(popup));
  EXPECT_FALSE(panel().serverBtn->IsSelected());

  // Mouse activation over "ServerBtn" leaves the popup open; elsewhere not.
  ASSERT_TRUE(ClickControl(panel().paintManager, "ServerBtn"));
  const RECT button = panel().serverBtn->GetPos();
  POINT over{(button.left + button.right) / 2, (button.top + button.bottom) / 2};
  skinui::ClientToScreen(panel().GetHWND(), &over);
  skinui::test::MouseActivate(panel().GetHWND(), over);
  EXPECT_TRUE(skinui::IsWindowVisible(popup));
  POINT elsewhere{300, 60};
  skinui::ClientToScreen(panel().GetHWND(), &elsewhere);
  skinui::test::MouseActivate(panel().GetHWND(), elsewhere);
  EXPECT_FALSE(skinui::IsWindowVisible(popup));
}

TEST_F(UpdateWndTest, PanelIgnoresCloseAndKeepsClientClassesClientArea) {
  StartUpAndPrepare();
  UIUpdateWnd& p = panel();
  EXPECT_EQ(skinui::test::SystemCommand(p.GetHWND(), SC_CLOSE), 0);
  EXPECT_TRUE(skinui::IsWindow(p.GetHWND()));  // the panel does not close
  // Its skin has no caption band: everything is client area.
  POINT point{300, 10};
  skinui::ClientToScreen(p.GetHWND(), &point);
  EXPECT_EQ(skinui::test::NcHitTest(p.GetHWND(), point), HTCLIENT);
  // With a band, its option and text controls stay client area while the
  // bar (a "ProgressUI") is caption.
  p.paintManager.SetCaptionRect(RECT{0, 0, 0, 80});
  auto centre = [&p](CControlUI* control) {
    const RECT r = control->GetPos();
    POINT c{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    skinui::ClientToScreen(p.GetHWND(), &c);
    return c;
  };
  EXPECT_EQ(skinui::test::NcHitTest(p.GetHWND(), centre(p.serverBtn)), HTCLIENT);
  EXPECT_EQ(skinui::test::NcHitTest(p.GetHWND(), centre(p.curVersionTxt)), HTCLIENT);
  EXPECT_EQ(skinui::test::NcHitTest(p.GetHWND(), centre(p.progressCtrl)), HTCAPTION);
}

TEST_F(UpdateWndTest, WorkerProgressWhileTheUiThreadRuns) {
  StartUpAndPrepare();
  UIUpdateWnd* p = &panel();
  std::atomic<bool> done{false};
  std::thread worker([p, &done] {
    // The panel is the UI thread's: each step is handed over.
    for (int i = 0; i <= 1000; ++i)
      skinui::PostToUiThread([p, i] { p->SetProgress(static_cast<float>(i) / 10.0f); });
    done = true;
  });
  // The UI thread keeps handling messages and reading the controls.
  EXPECT_TRUE(LoopUntil([p, &done] {
    p->progressTxt->GetText();
    p->SendMessage(WM_NCHITTEST, 0, 0);
    return done.load();
  }));
  worker.join();
  skinui::PumpPendingMessages();
  EXPECT_EQ(p->progressTxt->GetText(), "100%");
}

}  // namespace
