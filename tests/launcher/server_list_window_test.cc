// The server picker in the running launcher: the cached list shown at
// start, the fresh list from the server-list thread, the area tabs, a press
// on a server item, and the thread's refresh racing the player's clicks.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/serverlist/server_list.h"
#include "launcher/windows/server_list_wnd.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/button.h"
#include "skinui/list.h"
#include "skinui/window_system.h"
#include "tests/launcher/launcher_program_fixture.h"
#include "tests/support/http_server.h"
#include "tests/support/scramble.h"
#include "tests/support/skinui/test_hooks.h"

namespace {

using launcher_test::LauncherProgramTest;
using skinui::test::ClickControl;
using skinui::test::PressListItem;
using testing_support::HttpResponse;
using testing_support::LoopbackHttpServer;

// Three areas; "a0-unnamed" has no name, so area 0's first named server is
// "North-1".
constexpr char kCachedList[] =
    "<velmor>\n"
    "<area pid=\"1\" name=\"North\">"
    "<server sid=\"a0-unnamed\" name=\"\" address=\"10.0.0.9\" chargeIp=\"c\" port=\"1\"/>"
    "<server sid=\"n1\" name=\"North-1\" address=\"10.0.0.1\" chargeIp=\"c1\" port=\"7001\"/>"
    "</area>\n"
    "<area pid=\"2\" name=\"South\">"
    "<server sid=\"s1\" name=\"South-1\" address=\"10.0.1.1\" chargeIp=\"c2\" port=\"7002\"/>"
    "<server sid=\"s2\" name=\"South-2\" address=\"10.0.1.2\" chargeIp=\"\" port=\"7003\"/>"
    "</area>\n"
    "<area pid=\"3\"/>\n"
    "</velmor>\n";

// The fresh list moves "n1" to another address and adds a server.
constexpr char kFreshList[] =
    "<velmor>\n"
    "<area pid=\"1\" name=\"North\">"
    "<server sid=\"n1\" name=\"North-1\" address=\"10.9.9.1\" chargeIp=\"c1\" port=\"7001\"/>"
    "<server sid=\"n2\" name=\"North-2\" address=\"10.9.9.2\" chargeIp=\"c1\" port=\"7001\"/>"
    "</area>\n"
    "</velmor>\n";

class ServerListWindowTest : public LauncherProgramTest {
 protected:
  // orvo.ini with the list URL of the loopback server and a saved choice.
  void WriteSetup(const std::string& sid) {
    Write("orvo.ini", "[Setup]\nServerListUrl=" + server.Url("/list.xml") +
                          "\nServerListUrl2=\nUpdateVersionUrl=\nUpdateVersionUrl2=\n"
                          "ServerAddr=\nServerPort=\nChargeUrl=\nServerSid=" +
                          sid + "\n");
  }

  // Starts with a cached list and a list server that answers 404.
  void StartWithCachedList(const std::string& sid, const std::string& list) {
    WriteSetup(sid);
    testing_support::WriteFile(File("ServerList.xml"), list);
    server.Serve("/list.xml", HttpResponse{404, ""});
    StartUpAndPrepare();
    SettleServerListThread();
  }

  UIUpdateWnd& Panel() { return *frame().updateWnd; }

  std::vector<std::string> ItemTexts() {
    std::vector<std::string> texts;
    CListUI* list = frame().serverListWnd->domainList;
    for (int i = 0; list && i < list->GetCount(); ++i)
      texts.push_back(list->GetItemAt(i)->GetText());
    return texts;
  }

  std::string ServerBtnText() { return Panel().serverBtn->GetText(); }
  std::string Ini() { return testing_support::ReadFile(File("orvo.ini")); }

  LoopbackHttpServer server;
};

TEST_F(ServerListWindowTest, CachedListThenFreshListThenTabsAndAPress) {
  WriteSetup("");
  testing_support::WriteScrambledFile(File("ServerList.xml"), kCachedList);
  server.Serve("/list.xml", HttpResponse{200, kFreshList});
  StartUpAndPrepare();
  SettleServerListThread();
  EXPECT_FALSE(testing_support::PathExists(File("ServerList.xml.tmp")));
  EXPECT_EQ(testing_support::ReadFile(File("ServerList.xml")), kFreshList);

  // The cached list chose "n1" and saved it; the fresh list found it again
  // by its sid, at its new address.
  EXPECT_EQ(g_strServerSid.Get(), "n1");
  EXPECT_EQ(g_strServerAddr.Get(), "10.9.9.1");
  EXPECT_NE(Ini().find("ServerAddr=10.9.9.1"), std::string::npos) << Ini();
  EXPECT_EQ(ServerBtnText(), "North-1");
  EXPECT_EQ(ItemTexts(), (std::vector<std::string>{"North-1", "North-2"}));
  // Two rows: 2 x 27 + 4 pixels.
  EXPECT_EQ(skinui::RectHeight(launcher_test::WindowRect(frame().serverListWnd)), 58);

  // Area 1 does not exist in the fresh list: the popup is emptied.
  ASSERT_TRUE(ClickControl(Panel().paintManager, "DServer"));
  EXPECT_TRUE(ItemTexts().empty());
  ASSERT_TRUE(ClickControl(Panel().paintManager, "FirstServer"));
  ASSERT_EQ(ItemTexts().size(), 2u);

  // Open the popup and press "North-2".
  ASSERT_TRUE(ClickControl(Panel().paintManager, "ServerBtn"));
  ASSERT_TRUE(PressListItem(frame().serverListWnd->paintManager, "domainlist", 1));
  EXPECT_EQ(g_strServerAddr.Get(), "10.9.9.2");
  EXPECT_EQ(ServerBtnText(), "North-2");
  EXPECT_TRUE(frame().enterGameBtn->IsEnabled());
  EXPECT_NE(Ini().find("ServerSid=n2"), std::string::npos) << Ini();
}

TEST_F(ServerListWindowTest, PressOnAServerWithEmptyFieldsStillSavesAndEnables) {
  StartWithCachedList("s1", kCachedList);
  // Saved sid "s1" lies in area 1; the popup shows area 0.
  EXPECT_EQ(ServerBtnText(), "South-1");
  EXPECT_EQ(ItemTexts(), (std::vector<std::string>{"", "North-1"}));

  frame().enterGameBtn->SetEnabled(false);
  ASSERT_TRUE(ClickControl(Panel().paintManager, "DServer"));
  ASSERT_TRUE(PressListItem(frame().serverListWnd->paintManager, "domainlist", 1));
  EXPECT_EQ(g_strServerSid.Get(), "s2");
  EXPECT_TRUE(g_strChargeUrl.IsEmpty());
  EXPECT_TRUE(frame().enterGameBtn->IsEnabled());
  EXPECT_NE(Ini().find("ServerSid=s2"), std::string::npos) << Ini();
}

TEST_F(ServerListWindowTest, UnknownSavedSidChoosesNothingAndDisablesEnterGame) {
  StartWithCachedList("nowhere", kCachedList);  // leaves the button enabled
  EXPECT_TRUE(Panel().SelectCurrentServer());
  EXPECT_TRUE(g_strServerSid.IsEmpty());
  EXPECT_EQ(ServerBtnText(), "");
  EXPECT_FALSE(frame().enterGameBtn->IsEnabled());
  EXPECT_NE(Ini().find("ServerSid=nowhere"), std::string::npos) << "orvo.ini is not written";
}

TEST_F(ServerListWindowTest, EmptyAreaZeroWithThePopupChoosesNothing) {
  StartWithCachedList("",
                      "<velmor><area/><area name=\"x\"><server sid=\"1\" name=\"one\" "
                      "address=\"a\" port=\"1\" chargeIp=\"c\"/></area></velmor>");
  EXPECT_FALSE(Panel().SelectCurrentServer());
  EXPECT_TRUE(g_strServerSid.IsEmpty());
  EXPECT_TRUE(ItemTexts().empty());
}

TEST_F(ServerListWindowTest, RefreshOnAWorkerRacesTabsAndPresses) {
  StartWithCachedList("", kCachedList);

  std::atomic<bool> stop{false};
  std::atomic<int> refreshes{0};
  // As the server-list thread refreshes: read, chosen and saved on the
  // worker, shown on the UI thread.
  LauncherFrameWnd& host = frame();
  std::thread worker([&] {
    for (int i = 0; i < 200 && !stop; ++i) {
      ServerListSelection selection = SelectServerList(
          ReadServerListFile("ServerList.xml"), host.shownServerList, host.popupListsServers);
      SaveSelectedServer(selection);
      host.ShowServerList(std::move(selection));
      ++refreshes;
    }
  });
  const char* tabs[] = {"FirstServer", "DServer", "WServer"};
  for (int i = 0; i < 300; ++i) {
    ClickControl(Panel().paintManager, tabs[i % 3]);
    // Whatever the list holds at this moment, pressing an item must be safe.
    PressListItem(frame().serverListWnd->paintManager, "domainlist", i % 2);
    skinui::PumpPendingMessages();
  }
  stop = true;
  worker.join();
  skinui::PumpPendingMessages();
  EXPECT_GT(refreshes.load(), 0);
  // The last word is a consistent server of the list.
  const ChosenServer chosen = GetChosenServer();
  EXPECT_TRUE(chosen.sid == "n1" || chosen.sid == "s1" || chosen.sid == "s2" ||
              chosen.sid == "a0-unnamed")
      << chosen.sid;
}

TEST_F(ServerListWindowTest, HugeAreaIsShownWhole) {
  std::string xml = "<velmor><area name=\"big\">";
  constexpr int kServers = 20000;
  for (int i = 0; i < kServers; ++i)
    xml += "<server sid=\"" + std::to_string(i) + "\" name=\"n" + std::to_string(i) +
           "\" address=\"a\" port=\"1\" chargeIp=\"c\"/>";
  xml += "</area></velmor>";
  StartWithCachedList("2500", xml);
  const std::vector<std::string> texts = ItemTexts();
  ASSERT_EQ(texts.size(), static_cast<size_t>(kServers));
  EXPECT_EQ(texts.back(), "n" + std::to_string(kServers - 1));
  EXPECT_EQ(ServerBtnText(), "n2500");
}

}  // namespace
