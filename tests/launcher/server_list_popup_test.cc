// The server-list popup: its layout arithmetic, opening and closing, and the
// web panels that close it.
#include <gtest/gtest.h>

#include <utility>

#include "launcher/windows/news2_wnd.h"
#include "launcher/windows/news_wnd.h"
#include "launcher/windows/server_list_wnd.h"
#include "launcher/windows/top_wnd.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/activex.h"
#include "skinui/button.h"
#include "skinui/list.h"
#include "skinui/window_system.h"
#include "tests/launcher/launcher_program_fixture.h"
#include "tests/support/skinui/test_hooks.h"

namespace {

using launcher_test::LauncherProgramTest;
using skinui::test::ClickControl;

TEST(ServerListPopupLayout, GrowsUpwardsTwentySevenPixelsARowUpToFiveRows) {
  const std::pair<int, int> heights[] = {{0, 0}, {1, 31}, {2, 58}, {5, 139}, {12, 139}};
  for (const auto& [rows, height] : heights) EXPECT_EQ(UIServerListWnd::PopupHeight(rows), height);
  // The bottom line never moves.
  for (int anchor : {580, 545, 453}) {
    for (int n = 0; n <= 7; ++n) {
      EXPECT_EQ(UIServerListWnd::PopupOffsetY(anchor, n) + UIServerListWnd::PopupHeight(n),
                anchor + 46);
    }
  }
}

class ServerListPopupTest : public LauncherProgramTest {
 protected:
  void AddItems(int count) {
    CListUI* list = frame().serverListWnd->domainList;
    for (int i = 0; i < count; ++i) {
      auto* item = new CListLabelElementUI();
      item->SetText("Server " + std::to_string(list->GetCount() + 1));
      ASSERT_TRUE(list->Add(item));
    }
  }
  RECT PopupRect() { return launcher_test::WindowRect(frame().serverListWnd); }
  RECT FrameRect() { return launcher_test::WindowRect(&frame()); }
};

TEST_F(ServerListPopupTest, LayoutPlacesThePopupAboveTheServerButton) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  UIServerListWnd& popup = *f.serverListWnd;
  for (int rows : {1, 3, 5, 12}) {
    AddItems(rows - popup.domainList->GetCount());
    popup.LayoutServerListPopup();
    const RECT rect = PopupRect();
    EXPECT_EQ(rect.left, FrameRect().left + 566);
    EXPECT_EQ(rect.bottom - rect.top, UIServerListWnd::PopupHeight(rows));
    EXPECT_EQ(rect.bottom, FrameRect().top + 580 + 46);
  }
  // Moving the frame keeps the popup at the offsets of its last layout.
  skinui::test::DragWindowTo(f.GetHWND(), 10, 20);
  EXPECT_EQ(PopupRect().top, 20 + 580 + 46 - 139);
}

TEST_F(ServerListPopupTest, LayoutBottomLineFollowsTheLayoutMode) {
  desktop_.SetDisplayMode(platform::DisplayMode{1280, 720, 32, 60});
  StartUpAndPrepare();
  AddItems(2);
  frame().serverListWnd->LayoutServerListPopup();
  EXPECT_EQ(PopupRect().bottom - FrameRect().top, 591);
  ShutDown();
  desktop_.SetDisplayMode(platform::DisplayMode{800, 600, 32, 60});
  StartUpAndPrepare();
  frame().serverListWnd->LayoutServerListPopup();
  EXPECT_EQ(PopupRect().bottom - FrameRect().top, 499);
  EXPECT_EQ(PopupRect().left - FrameRect().left, 420);
}

TEST_F(ServerListPopupTest, ItemClickNamesTheServerAndClosesThePopup) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  AddItems(3);
  COptionUI* serverBtn = f.updateWnd->serverBtn;
  ASSERT_TRUE(ClickControl(f.updateWnd->paintManager, "ServerBtn"));
  ASSERT_TRUE(skinui::IsWindowVisible(f.serverListWnd->GetHWND()));
  ASSERT_TRUE(skinui::test::PressListItem(f.serverListWnd->paintManager, "domainlist", 1));
  EXPECT_EQ(serverBtn->GetText(), "Server 2");
  EXPECT_FALSE(serverBtn->IsSelected());
  EXPECT_FALSE(skinui::IsWindowVisible(f.serverListWnd->GetHWND()));
  // Hiding does nothing while the popup is not open (shown without the button).
  f.serverListWnd->ShowWindow(true);
  f.serverListWnd->HideServerListPopup();
  EXPECT_TRUE(skinui::IsWindowVisible(f.serverListWnd->GetHWND()));
  EXPECT_EQ(serverBtn->GetText(), "Server 2");
}

TEST_F(ServerListPopupTest, WebPanelsCloseThePopupWhenClickedOrActivated) {
  StartUpAndPrepare();
  LauncherFrameWnd& f = frame();
  COptionUI* serverBtn = f.updateWnd->serverBtn;
  const HWND popup = f.serverListWnd->GetHWND();
  auto openPopup = [&] {
    ASSERT_TRUE(ClickControl(f.updateWnd->paintManager, "ServerBtn"));
    ASSERT_TRUE(serverBtn->IsSelected());
    ASSERT_TRUE(skinui::IsWindowVisible(popup));
  };
  for (WebPanelWnd* panel : std::initializer_list<WebPanelWnd*>{f.newsWnd, f.news2Wnd, f.topWnd}) {
    SCOPED_TRACE(skinui::GetWindowClassName(panel->GetHWND()));
    // A click inside the panel, delivered to its notifiers, closes the open popup.
    openPopup();
    panel->paintManager.SendNotify(panel->paintManager.GetRoot(), "click");
    EXPECT_FALSE(serverBtn->IsSelected());
    EXPECT_FALSE(skinui::IsWindowVisible(popup));

    // So does activating the panel with the mouse.
    openPopup();
    POINT point{20, 20};
    skinui::ClientToScreen(panel->GetHWND(), &point);
    skinui::test::MouseActivate(panel->GetHWND(), point);
    EXPECT_FALSE(serverBtn->IsSelected());
    EXPECT_FALSE(skinui::IsWindowVisible(popup));
  }
}

CStdString PageOf(WebPanelWnd* panel) {
  CControlUI* control = panel->paintManager.FindControl("IE");
  auto* browser = control ? static_cast<CActiveXUI*>(control->GetInterface("ActiveX")) : nullptr;
  return browser ? browser->GetLastNavigatedUrl() : CStdString("<no browser>");
}

TEST_F(ServerListPopupTest, WebPanelsNavigateOnceToThePageOfTheLayoutMode) {
  StartUpAndPrepare();
  EXPECT_EQ(PageOf(frame().newsWnd), "http://pages.test/left");
  EXPECT_EQ(PageOf(frame().news2Wnd), "http://pages.test/right");
  EXPECT_EQ(PageOf(frame().topWnd), "http://pages.test/top");
  ShutDown();
  desktop_.SetDisplayMode(platform::DisplayMode{800, 600, 32, 60});
  StartUpAndPrepare();
  EXPECT_EQ(PageOf(frame().newsWnd), "http://pages.test/left600");
  EXPECT_EQ(PageOf(frame().news2Wnd), "http://pages.test/right600");
  EXPECT_EQ(PageOf(frame().topWnd), "http://pages.test/top600");
  CControlUI* ie = frame().topWnd->paintManager.FindControl("IE");
  EXPECT_EQ(static_cast<CActiveXUI*>(ie->GetInterface("ActiveX"))->GetNavigationCount(), 1);
}

TEST_F(ServerListPopupTest, WebPanelWithoutBrowserShowsNoPage) {
  WriteSkins({{"news.xml", "<Window size=\"290,230\"><VerticalLayout/></Window>"},
              {"top.xml",
               "<Window size=\"290,230\"><VerticalLayout><ActiveX name=\"IE\"/>"
               "</VerticalLayout></Window>"}});
  StartUpAndPrepare();
  EXPECT_EQ(PageOf(frame().newsWnd), "<no browser>");
  EXPECT_EQ(PageOf(frame().topWnd), "");
  EXPECT_EQ(PageOf(frame().news2Wnd), "http://pages.test/right");
}

}  // namespace
