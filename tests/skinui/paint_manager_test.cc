#include "skinui/paint_manager.h"

#include <gtest/gtest.h>

#include <string>

#include "skinui/skinui.h"
#include "tests/skinui/skin_test_window.h"
#include "tests/support/skinui/test_hooks.h"

namespace {

using skinui_test::MakeWindow;
using skinui_test::SkinTestWindow;

const char kSkin[] =
    "<Window size=\"400,300\" caption=\"0,0,0,30\" roundcorner=\"5,5\">"
    "  <VerticalLayout name=\"Root\">"
    "    <Label name=\"Logo\" float=\"true\" pos=\"10,5,60,25\"/>"
    "    <Button name=\"CloseBtn\" float=\"true\" pos=\"370,4,396,26\"/>"
    "    <Button name=\"Hidden\" float=\"true\" pos=\"300,4,330,26\" visible=\"false\"/>"
    "    <Button name=\"Off\" float=\"true\" pos=\"250,4,280,26\" enabled=\"false\"/>"
    "    <Option name=\"ServerBtn\" float=\"true\" pos=\"10,40,110,70\"/>"
    "    <Option name=\"A\" group=\"area\" selected=\"true\" float=\"true\" pos=\"120,40,160,70\"/>"
    "    <Option name=\"B\" group=\"area\" float=\"true\" pos=\"170,40,210,70\"/>"
    "    <Progress name=\"Bar\" float=\"true\" pos=\"10,100,210,110\" max=\"200\"/>"
    "    <List name=\"domainlist\" float=\"true\" pos=\"10,120,110,220\"/>"
    "    <ActiveX name=\"IE\" float=\"true\" pos=\"200,120,390,290\""
    "             clsid=\"8856f961-340a-11d0-a96b-00c04fd705a2\"/>"
    "    <ActiveX name=\"Other\" float=\"true\" pos=\"0,0,1,1\"/>"
    "  </VerticalLayout>"
    "</Window>";

class PaintManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skinui::DiscardPendingMessages();
    window_ = MakeWindow(kSkin, 100, 100, 0, 0);
    hwnd_ = window_->GetHWND();
  }
  void TearDown() override {
    skinui::DestroyWindow(hwnd_);
    delete window_;
    skinui::DiscardPendingMessages();
  }
  CPaintManagerUI& pm() { return window_->paintManager; }
  size_t CountOf(const std::string& type) const {
    size_t n = 0;
    for (const auto& [t, sender] : window_->notifications) n += t == type ? 1 : 0;
    return n;
  }

  SkinTestWindow* window_ = nullptr;
  HWND hwnd_ = nullptr;
};

TEST_F(PaintManagerTest, TheSkinSizesTheWindowAndLaysTheControlsOut) {
  RECT rect;
  skinui::GetWindowRect(hwnd_, &rect);
  EXPECT_TRUE(rect == (RECT{100, 100, 500, 400}));
  EXPECT_TRUE(pm().FindControl("CloseBtn")->GetPos() == (RECT{370, 4, 396, 26}));
  EXPECT_TRUE(pm().GetRoot()->GetPos() == (RECT{0, 0, 400, 300}));
}

TEST_F(PaintManagerTest, WindowInitComesOnceFromTheLoopAfterCreate) {
  EXPECT_EQ(CountOf("windowinit"), 0u);
  skinui::PumpPendingMessages();
  ASSERT_EQ(CountOf("windowinit"), 1u);
  EXPECT_EQ(window_->notifications[0].second, "Root");
  pm().AttachDialog(nullptr);  // a second attach does not send it again
  skinui::PumpPendingMessages();
  EXPECT_EQ(CountOf("windowinit"), 1u);
  EXPECT_EQ(pm().FindControl("CloseBtn"), nullptr);
}

TEST_F(PaintManagerTest, AWindowGoneBeforeTheLoopGetsNoWindowInit) {
  auto* other = MakeWindow(kSkin, 0, 0, 0, 0);
  skinui::DestroyWindow(other->GetHWND());
  skinui::PumpPendingMessages();
  EXPECT_TRUE(other->notifications.empty());
  delete other;
  skinui::PumpPendingMessages();  // a queued init for a deleted manager is harmless
}

TEST_F(PaintManagerTest, FindsControlsByNameAndByPoint) {
  EXPECT_EQ(pm().FindControl("Nothing"), nullptr);
  EXPECT_EQ(pm().FindControl(""), nullptr);  // unnamed controls are not found by ""
  EXPECT_EQ(pm().FindControl(POINT{380, 10})->GetName(), "CloseBtn");
  EXPECT_EQ(pm().FindControl(POINT{310, 10})->GetClass(), "VerticalLayoutUI");  // hidden
  EXPECT_EQ(pm().FindControl(POINT{260, 10})->GetName(), "Off");  // disabled still hit
  EXPECT_EQ(pm().FindControl(POINT{396, 10})->GetClass(), "VerticalLayoutUI");  // half-open
  EXPECT_EQ(pm().FindControl(POINT{400, 10}), nullptr);
  EXPECT_EQ(pm().FindControl(POINT{-1, 10}), nullptr);
}

TEST_F(PaintManagerTest, ClicksNotifyOnlyVisibleEnabledControls) {
  EXPECT_TRUE(skinui::test::ClickControl(pm(), "CloseBtn"));
  ASSERT_FALSE(window_->notifications.empty());
  EXPECT_EQ(window_->notifications.back(),
            (std::pair<std::string, std::string>{"click", "CloseBtn"}));
  const size_t before = window_->notifications.size();
  EXPECT_FALSE(skinui::test::ClickControl(pm(), "Hidden"));
  EXPECT_FALSE(skinui::test::ClickControl(pm(), "Off"));
  EXPECT_FALSE(skinui::test::ClickControl(pm(), "Nothing"));
  EXPECT_EQ(window_->notifications.size(), before);

  // Through mouse messages at a point of the window.
  skinui::test::ClickAt(hwnd_, POINT{380, 10});
  EXPECT_EQ(window_->notifications.back(),
            (std::pair<std::string, std::string>{"click", "CloseBtn"}));
}

TEST_F(PaintManagerTest, AnOptionsClickSeesTheStateBeforeTheClick) {
  auto* server = static_cast<COptionUI*>(pm().FindControl("ServerBtn"));
  bool selectedDuringClick = true;
  window_->onNotify = [&](TNotifyUI& msg) {
    if (msg.sType == "click") selectedDuringClick = server->IsSelected();
  };
  skinui::test::ClickControl(pm(), "ServerBtn");
  EXPECT_FALSE(selectedDuringClick);
  EXPECT_TRUE(server->IsSelected());
  skinui::test::ClickControl(pm(), "ServerBtn");
  EXPECT_FALSE(server->IsSelected());

  auto* a = static_cast<COptionUI*>(pm().FindControl("A"));
  auto* b = static_cast<COptionUI*>(pm().FindControl("B"));
  skinui::test::ClickControl(pm(), "B");
  EXPECT_TRUE(b->IsSelected());
  EXPECT_FALSE(a->IsSelected());
  skinui::test::ClickControl(pm(), "B");  // grouped: stays selected
  EXPECT_TRUE(b->IsSelected());
}

// Delegate bound to the list items: records the press.
int g_pressType = 0;
CControlUI* g_pressSender = nullptr;
bool g_letPressGoOn = true;
bool OnItemEvent(void* param) {
  auto* event = static_cast<TEventUI*>(param);
  g_pressType = event->Type;
  g_pressSender = event->pSender;
  return g_letPressGoOn;
}

TEST_F(PaintManagerTest, PressingAListItemRunsItsDelegatesThenItemClickAndItemSelect) {
  auto* list = static_cast<CListUI*>(pm().FindControl("domainlist"));
  for (const char* name : {"one", "two"}) {
    auto* item = new CListLabelElementUI;
    ASSERT_TRUE(list->Add(item));
    item->SetText(name);
    item->SetUserPtrData(list);
    item->OnEvent += CDelegateStatic(OnItemEvent);
  }
  EXPECT_FALSE(list->Add(nullptr));

  g_letPressGoOn = true;
  ASSERT_TRUE(skinui::test::PressListItem(pm(), "domainlist", 1));
  EXPECT_EQ(g_pressType, 13);
  EXPECT_EQ(g_pressSender, list->GetItemAt(1));
  ASSERT_GE(window_->notifications.size(), 2u);
  const auto& n = window_->notifications;
  EXPECT_EQ(n[n.size() - 2].first, "itemclick");
  EXPECT_EQ(n.back().first, "itemselect");
  EXPECT_EQ(list->GetCurSel(), 1);

  g_letPressGoOn = false;  // a delegate that answers false stops the item
  const size_t before = n.size();
  skinui::test::PressListItem(pm(), "domainlist", 0);
  EXPECT_EQ(n.size(), before);
  EXPECT_EQ(list->GetCurSel(), 1);

  list->RemoveAll();
  EXPECT_EQ(list->GetCurSel(), -1);
  EXPECT_FALSE(skinui::test::PressListItem(pm(), "domainlist", 0));
}

TEST_F(PaintManagerTest, MessageFiltersSeeMessagesFirst) {
  struct Filter : IMessageFilterUI {
    UINT swallow = 0;
    int seen = 0;
    LRESULT MessageHandler(UINT message, WPARAM, LPARAM, bool& handled) override {
      ++seen;
      if (message == swallow) {
        handled = true;
        return 42;
      }
      return 0;
    }
  } filter;
  EXPECT_TRUE(pm().AddPreMessageFilter(&filter));
  EXPECT_FALSE(pm().AddPreMessageFilter(&filter));
  filter.swallow = WM_USER + 1;
  EXPECT_EQ(skinui::SendMessage(hwnd_, WM_USER + 1), 42);
  EXPECT_EQ(skinui::SendMessage(hwnd_, WM_USER + 2), 0);
  EXPECT_EQ(filter.seen, 2);
  EXPECT_TRUE(pm().RemovePreMessageFilter(&filter));
  EXPECT_EQ(skinui::SendMessage(hwnd_, WM_USER + 1), 0);
}

TEST_F(PaintManagerTest, ANotifierMayDestroyItsWindowWhileNotified) {
  auto* other = new SkinTestWindow(kSkin, true);
  other->Create(nullptr, "", WS_POPUP, 0, 0, 0, 0, 0);
  struct Second : INotifyUI {
    int calls = 0;
    void Notify(TNotifyUI&) override { ++calls; }
  } second;
  other->onNotify = [other](TNotifyUI& msg) {
    if (msg.sType == "click") skinui::DestroyWindow(other->GetHWND());
  };
  other->paintManager.AddNotifier(&second);
  CControlUI* close = other->paintManager.FindControl("CloseBtn");
  EXPECT_TRUE(skinui::test::ClickControl(close));
  EXPECT_EQ(second.calls, 0);  // the manager was gone before its turn
}

TEST_F(PaintManagerTest, HitTestsReachTheWindowInScreenCoordinates) {
  POINT received{0, 0};
  window_->onMessage = [&](UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != WM_NCHITTEST) return false;
    received = POINT{skinui::LParamX(lParam), skinui::LParamY(lParam)};
    result = HTCAPTION;
    return true;
  };
  EXPECT_EQ(skinui::test::NcHitTest(hwnd_, POINT{-20, 130}), HTCAPTION);
  EXPECT_EQ(received.x, -20);
  EXPECT_EQ(received.y, 130);
  window_->onMessage = nullptr;
  EXPECT_EQ(skinui::test::NcHitTest(hwnd_, POINT{120, 110}), HTCLIENT);  // default processing
  EXPECT_EQ(skinui::test::MouseActivate(hwnd_, POINT{150, 150}), MA_ACTIVATE);
  EXPECT_EQ(skinui::GetCursorPos().x, 150);
}

TEST_F(PaintManagerTest, OnlyTheBrowserControlHandsOutTheBrowser) {
  auto* ie = static_cast<CActiveXUI*>(pm().FindControl("IE"));
  void* object = nullptr;
  ASSERT_EQ(ie->GetControl(IID_IWebBrowser2, &object), S_OK);
  auto* browser = static_cast<IWebBrowser2*>(object);
  browser->Navigate("http://127.0.0.1/left.html");
  browser->Release();
  EXPECT_EQ(ie->GetLastNavigatedUrl(), "http://127.0.0.1/left.html");

  EXPECT_EQ(ie->GetControl(CLSID_WebBrowser, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(ie->GetControl(IID_IWebBrowser2, nullptr), E_POINTER);
  auto* other = static_cast<CActiveXUI*>(pm().FindControl("Other"));
  EXPECT_TRUE(FAILED(other->GetControl(IID_IWebBrowser2, &object)));
  EXPECT_EQ(object, nullptr);
}

TEST_F(PaintManagerTest, ProgressValuesStayInRange) {
  auto* bar = static_cast<CProgressUI*>(pm().FindControl("Bar"));
  for (const auto& [value, kept] : {std::pair{99, 99}, {500, 200}, {-1, 0}}) {
    bar->SetValue(value);
    EXPECT_EQ(bar->GetValue(), kept) << value;
  }
}

TEST_F(PaintManagerTest, MovingAFloatingControlSurvivesTheNextLayout) {
  CControlUI* logo = pm().FindControl("Logo");
  logo->SetPos(RECT{40, 5, 90, 25});
  EXPECT_EQ(logo->GetFixedXY().cx, 40);
  skinui::MoveWindow(hwnd_, 100, 100, 410, 300);  // WM_SIZE lays out again
  EXPECT_TRUE(logo->GetPos() == (RECT{40, 5, 90, 25}));
  EXPECT_TRUE(pm().GetRoot()->GetPos() == (RECT{0, 0, 410, 300}));
}

}  // namespace
