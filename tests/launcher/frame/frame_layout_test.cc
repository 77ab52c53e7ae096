// The frame's skins against the child windows placed over the frame: in every
// layout mode the frame fits its display, each child lies inside the frame,
// no child covers one of the frame's own buttons, and the open server popup
// covers none of the update panel's controls.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "launcher/windows/news2_wnd.h"
#include "launcher/windows/news_wnd.h"
#include "launcher/windows/server_list_wnd.h"
#include "launcher/windows/top_wnd.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/list.h"
#include "skinui/window_system.h"
#include "tests/launcher/launcher_program_fixture.h"

namespace {

using launcher_test::LauncherProgramTest;
using launcher_test::WindowRect;

std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

bool Overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

class FrameLayoutTest : public LauncherProgramTest {
 protected:
  // A control's rectangle in screen coordinates; the frame's by default.
  RECT ControlOnScreen(const char* name, CWindowWnd* window = nullptr) {
    if (!window) window = &frame();
    CPaintManagerUI& manager =
        window == frame().updateWnd ? frame().updateWnd->paintManager : frame().paintManager;
    CControlUI* control = manager.FindControl(name);
    EXPECT_NE(control, nullptr) << name;
    if (!control) return RECT{};
    RECT pos = control->GetPos();
    const RECT windowRect = WindowRect(window);
    return RECT{pos.left + windowRect.left, pos.top + windowRect.top, pos.right + windowRect.left,
                pos.bottom + windowRect.top};
  }

  // Fills the popup with `rows` servers and lays it out.
  void LayOutPopup(int rows) {
    UIServerListWnd& popup = *frame().serverListWnd;
    {
      ASSERT_NE(popup.domainList, nullptr);
      popup.domainList->RemoveAll();
      for (int i = 0; i < rows; ++i) {
        auto* item = new CListLabelElementUI();
        item->SetText("Server " + std::to_string(i + 1));
        ASSERT_TRUE(popup.domainList->Add(item));
      }
    }
    popup.LayoutServerListPopup();
  }

  void CheckLayout(const platform::DisplayMode& display, int expectedMode) {
    SCOPED_TRACE("display " + std::to_string(display.width) + "x" + std::to_string(display.height));
    desktop_.SetDisplayMode(display);
    StartUpAndPrepare();
    LauncherFrameWnd& f = frame();
    ASSERT_EQ(f.layoutMode, expectedMode);

    const RECT frameRect = WindowRect(&f);
    EXPECT_TRUE(Inside(frameRect, RECT{0, 0, display.width, display.height}))
        << Describe(frameRect);

    // The popup at its tallest, as laid out for five or more servers.
    LayOutPopup(5);
    const std::vector<std::pair<const char*, CWindowWnd*>> children = {{"news", f.newsWnd},
                                                                       {"news2", f.news2Wnd},
                                                                       {"top", f.topWnd},
                                                                       {"update", f.updateWnd},
                                                                       {"popup", f.serverListWnd}};
    const char* buttons[] = {"CloseBtn",     "MinBtn",        "maxbtn",   "WebBtn",
                             "RegisterBtn",  "RechargeBtn",   "ForumBtn", "GameSetBtn",
                             "EnterGameBtn", "CustServiceBtn"};
    for (const auto& [name, child] : children) {
      ASSERT_NE(child, nullptr) << name;
      const RECT rect = WindowRect(child);
      EXPECT_GT(skinui::RectWidth(rect) * skinui::RectHeight(rect), 0) << name;
      EXPECT_TRUE(Inside(rect, frameRect))
          << name << " " << Describe(rect) << " outside the frame " << Describe(frameRect);
      for (const char* button : buttons) {
        const RECT buttonRect = ControlOnScreen(button);
        EXPECT_FALSE(Overlap(rect, buttonRect))
            << name << " " << Describe(rect) << " covers " << button << " " << Describe(buttonRect);
      }
    }
    // The open popup hides none of the update panel's controls: the server
    // picker lies right under it and just as wide.
    const RECT popup = WindowRect(f.serverListWnd);
    for (const char* control : {"CurVersionTxt", "FirstServer", "DServer", "WServer",
                                "FullScreenOption", "ServerBtn", "ProgressCtrl", "ProgressTxt"}) {
      EXPECT_FALSE(Overlap(popup, ControlOnScreen(control, f.updateWnd)))
          << "popup " << Describe(popup) << " covers " << control;
    }
    const RECT picker = ControlOnScreen("ServerBtn", f.updateWnd);
    EXPECT_EQ(picker.top, popup.bottom);
    EXPECT_EQ(skinui::RectWidth(picker), skinui::RectWidth(popup));
    // The popup's fixed bottom line lies inside the frame too, and an empty
    // popup shrinks onto it.
    EXPECT_LE(f.updatePos.y + 46, skinui::RectHeight(frameRect));
    LayOutPopup(0);
    EXPECT_TRUE(Inside(WindowRect(f.serverListWnd), frameRect));
    EXPECT_FALSE(Overlap(WindowRect(f.updateWnd), ControlOnScreen("EnterGameBtn")));
    ShutDown();
  }
};

TEST_F(FrameLayoutTest, EveryChildWindowFitsTheFrameInEachLayoutMode) {
  CheckLayout(platform::DisplayMode{1024, 768, 32, 60}, 0);
  CheckLayout(platform::DisplayMode{1280, 720, 32, 60}, 1);
  CheckLayout(platform::DisplayMode{800, 600, 32, 60}, 2);
}

}  // namespace
