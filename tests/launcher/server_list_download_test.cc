#include "launcher/server_list_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "launcher/chosen_server.h"
#include "launcher/instance_path.h"
#include "launcher/launcher_frame_wnd.h"
#include "launcher/my_thread.h"
#include "launcher/run_log.h"
#include "launcher/server_list.h"
#include "launcher/setup_config.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/control.h"
#include "skinui/ui_lock.h"
#include "tests/support/http_server.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::HttpResponse;
using testing_support::LoopbackHttpServer;
using testing_support::PathExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr char kListA[] =
    "<velmor><area pid=\"1\" name=\"A\">"
    "<server sid=\"a1\" name=\"Alpha\" address=\"10.0.0.1\" chargeIp=\"c1\" port=\"7001\"/>"
    "</area></velmor>";
constexpr char kListB[] =
    "<velmor><area pid=\"1\" name=\"B\">"
    "<server sid=\"b1\" name=\"Beta\" address=\"10.0.0.2\" chargeIp=\"c2\" port=\"7002\"/>"
    "</area></velmor>";

class ServerListDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.running());
    SetInstancePath(wxString::FromUTF8(dir.path()));
    OpenRunLog(frame);
    ASSERT_NE(frame.logTarget.load(), nullptr);
    ResetWorkerStop();
    ClearChosenServer();
    g_bServerListDone = false;
    {
      auto lock = SetupConfig().Lock();
      SetupConfig().filePath = wxString::FromUTF8(dir.File("orvo.ini"));
      SetupConfig().ServerSid.clear();
      SetupConfig().ServerAddr.clear();
      SetupConfig().ServerPort.clear();
      SetupConfig().ChargeUrl.clear();
    }
  }
  void TearDown() override {
    CloseRunLog(frame);
    ResetWorkerStop();
    ClearChosenServer();
    g_bServerListDone = false;
    auto lock = SetupConfig().Lock();
    SetupConfig().filePath.clear();
  }

  void SetUrls(const std::string& first, const std::string& second) {
    frame.serverListUrl1 = first.empty() ? wxString() : wxString::FromUTF8(server.Url(first));
    frame.serverListUrl2 = second.empty() ? wxString() : wxString::FromUTF8(server.Url(second));
  }

  bool Download() { return DownLoadServerListFile(frame, wxString::FromUTF8(dir.path())); }

  std::string List() const { return dir.File("ServerList.xml"); }
  std::string Temp() const { return dir.File("ServerListTemp.xml"); }
  std::string Logged() const { return ReadFile(dir.File("run.log")); }

  LoopbackHttpServer server;
  TempDir dir;
  LauncherFrameWnd frame;
};

TEST_F(ServerListDownloadTest, SecondUrlAnswersInTheFirstPass) {
  server.Serve("/first", HttpResponse{500, "broken"});
  server.Serve("/second", HttpResponse{200, kListA});
  SetUrls("/first", "/second");
  EXPECT_TRUE(Download());
  EXPECT_EQ(server.RequestCount("/first"), 1);
  EXPECT_EQ(server.RequestCount("/second"), 1);
  EXPECT_EQ(ReadFile(List()), kListA);
  EXPECT_FALSE(PathExists(Temp()));
}

TEST_F(ServerListDownloadTest, StopsAtTheFirstSuccess) {
  server.Serve("/first", [](int n) { return HttpResponse{n < 3 ? 404 : 200, kListA}; });
  SetUrls("/first", "");
  EXPECT_TRUE(Download());
  EXPECT_EQ(server.RequestCount("/first"), 3);
}

TEST_F(ServerListDownloadTest, FirstUrlFailingWithoutSecondTriesTenTimes) {
  server.Serve("/first", HttpResponse{404, "not here"});
  SetUrls("/first", "");
  WriteFile(List(), kListB);
  EXPECT_FALSE(Download());
  EXPECT_EQ(server.RequestCount("/first"), 10);
  EXPECT_EQ(ReadFile(List()), kListB);
  EXPECT_FALSE(PathExists(Temp()));
}

TEST_F(ServerListDownloadTest, BothUrlsFailingMakeTwentyAttemptsAndLeaveNoTemporaryFile) {
  server.Serve("/first", HttpResponse{404, "<html>404</html>"});
  server.Serve("/second", HttpResponse{302, "", {{"Location", "/first"}}});
  SetUrls("/first", "/second");
  EXPECT_FALSE(Download());
  EXPECT_EQ(server.RequestCount("/first"), 10);
  EXPECT_EQ(server.RequestCount("/second"), 10);
  EXPECT_FALSE(PathExists(Temp()));
  EXPECT_FALSE(PathExists(List()));
}

TEST_F(ServerListDownloadTest, UnreachableAndEmptyFirstUrlFail) {
  const int closed = testing_support::ClosedLoopbackPort();
  ASSERT_GT(closed, 0);
  frame.serverListUrl1 = wxString::Format("http://127.0.0.1:%d/list.xml", closed);
  frame.serverListUrl2.clear();
  EXPECT_FALSE(Download());
  // An empty first URL is tried all the same; the second one still answers.
  server.Serve("/second", HttpResponse{200, kListA});
  SetUrls("", "/second");
  EXPECT_TRUE(Download());
  EXPECT_FALSE(PathExists(Temp()));
}

TEST_F(ServerListDownloadTest, MoreThanThreeBytesAreNeeded) {
  WriteFile(List(), kListB);
  server.Serve("/three", HttpResponse{200, "abc"});
  SetUrls("/three", "");
  EXPECT_FALSE(Download());
  EXPECT_EQ(server.RequestCount("/three"), 1);  // a success ends the passes
  EXPECT_EQ(ReadFile(List()), kListB);
  EXPECT_FALSE(PathExists(Temp()));

  server.Serve("/four", HttpResponse{200, "abcd"});
  SetUrls("/four", "");
  EXPECT_TRUE(Download());
  EXPECT_EQ(ReadFile(List()), "abcd");
  EXPECT_FALSE(PathExists(Temp()));
}

TEST_F(ServerListDownloadTest, ShutDownEndsAHangingTransferPromptly) {
  std::atomic<bool> release{false};
  server.Serve("/slow", [&release](int) {
    // Holds the answer back until released (bounded, so the server can end).
    for (int i = 0; i < 300 && !release; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return HttpResponse{200, kListA};
  });
  SetUrls("/slow", "/slow");
  auto result = std::async(std::launch::async, [this] { return Download(); });
  for (int i = 0; i < 200 && server.RequestCount("/slow") == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  RequestWorkerStop();
  const bool finished = result.wait_for(std::chrono::seconds(4)) == std::future_status::ready;
  release = true;
  ASSERT_TRUE(finished);
  EXPECT_FALSE(result.get());
  EXPECT_EQ(server.RequestCount("/slow"), 1);
  EXPECT_FALSE(PathExists(Temp()));
}

// --- The thread body with an update panel that has no window ---

class ServerListThreadTest : public ServerListDownloadTest {
 protected:
  void SetUp() override {
    ServerListDownloadTest::SetUp();
    panel.frame = &frame;
    frame.updateWnd = &panel;
    frame.enterGameBtn = &enterGame;
    frame.serverListRequested = true;
  }
  void TearDown() override {
    frame.updateWnd = nullptr;
    frame.enterGameBtn = nullptr;
    ServerListDownloadTest::TearDown();
  }

  // The body runs on its own thread, as it does in the launcher.
  void RunBody() {
    std::thread body(ServerListThreadProc, nullptr);
    body.join();
  }

  size_t AreaCount() {
    skinui::UiLockGuard guard;
    return panel.areas.size();
  }

  UIUpdateWnd panel;
  CControlUI enterGame;  // enabled as constructed
};

TEST_F(ServerListThreadTest, FreshListIsStoredAndChosen) {
  server.Serve("/list", HttpResponse{200, kListA});
  SetUrls("/list", "");
  ASSERT_TRUE(enterGame.IsEnabled());
  RunBody();
  // Disabled by the thread's first step; a complete choice leaves it so
  // (the update road enables it).
  EXPECT_FALSE(enterGame.IsEnabled());
  EXPECT_TRUE(g_bServerListDone);
  EXPECT_FALSE(frame.serverListRequested);
  EXPECT_EQ(frame.serverListFile, "ServerList.xml");
  EXPECT_EQ(AreaCount(), 1u);
  EXPECT_EQ(g_strServerSid.Get(), "a1");
  EXPECT_EQ(g_strServerAddr.Get(), "10.0.0.1");
  const std::string ini = ReadFile(dir.File("orvo.ini"));
  EXPECT_NE(ini.find("ServerSid=a1"), std::string::npos) << ini;
  EXPECT_NE(ini.find("ChargeUrl=c1"), std::string::npos) << ini;
  const std::string log = Logged();
  EXPECT_NE(log.find(": DownLoadServerListFile success!\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("Connect to the server list of errors!"), std::string::npos) << log;
}

TEST_F(ServerListThreadTest, UnparsableListKeepsThePreviousListAndChoice) {
  // The cached list has been shown already.
  WriteFile(List(), kListA);
  frame.serverListFile = "ServerList.xml";
  ASSERT_TRUE(panel.SelectCurrentServer());
  ASSERT_EQ(g_strServerSid.Get(), "a1");

  server.Serve("/list", HttpResponse{200, "<velmor><area name=\"x\">"});
  SetUrls("/list", "");
  RunBody();
  EXPECT_EQ(AreaCount(), 1u);
  EXPECT_EQ(g_strServerSid.Get(), "a1");
  const std::string log = Logged();
  EXPECT_NE(log.find(": DownLoadServerListFile success!\n"), std::string::npos) << log;
  EXPECT_NE(log.find(": Error: launcher("), std::string::npos) << log;
  EXPECT_NE(log.find("): Connect to the server list of errors!\n"), std::string::npos) << log;
}

TEST_F(ServerListThreadTest, OtherRootKeepsTheAreasAndChoosesAgainFromThem) {
  WriteFile(List(), kListA);
  frame.serverListFile = "ServerList.xml";
  ASSERT_TRUE(panel.SelectCurrentServer());
  {
    // The saved choice now names a server that the cached list lacks.
    auto lock = SetupConfig().Lock();
    SetupConfig().ServerSid = "gone";
  }
  server.Serve("/list", HttpResponse{200, "<servers/>"});
  SetUrls("/list", "");
  RunBody();
  EXPECT_EQ(AreaCount(), 1u);
  EXPECT_TRUE(g_strServerSid.IsEmpty());
  EXPECT_EQ(Logged().find("Connect to the server list of errors!"), std::string::npos);
}

TEST_F(ServerListThreadTest, FailureLogsAndKeepsTheCachedList) {
  WriteFile(List(), kListA);
  frame.serverListFile = "ServerList.xml";
  ASSERT_TRUE(panel.SelectCurrentServer());
  ASSERT_TRUE(enterGame.IsEnabled());
  server.Serve("/list", HttpResponse{404, ""});
  SetUrls("/list", "");
  RunBody();
  EXPECT_FALSE(enterGame.IsEnabled());
  EXPECT_EQ(ReadFile(List()), kListA);
  EXPECT_EQ(g_strServerSid.Get(), "a1");
  EXPECT_TRUE(g_bServerListDone);
  const std::string log = Logged();
  EXPECT_NE(log.find(": Error: DownLoadServerListFile faiure!\n"), std::string::npos) << log;
  // A list is loaded, so no second line.
  EXPECT_EQ(log.find("Connect to the server list of errors!"), std::string::npos) << log;
}

TEST_F(ServerListThreadTest, FailureWithoutAnyListLogsTheConnectLine) {
  server.Serve("/list", HttpResponse{404, ""});
  SetUrls("/list", "");
  RunBody();
  const std::string log = Logged();
  EXPECT_NE(log.find(": Error: DownLoadServerListFile faiure!\n"), std::string::npos) << log;
  EXPECT_NE(log.find("): Connect to the server list of errors!\n"), std::string::npos) << log;
}

TEST_F(ServerListThreadTest, EndsAtOnceWhenTheListIsDoneOrShutDownBegins) {
  server.Serve("/list", HttpResponse{200, kListA});
  SetUrls("/list", "");
  frame.serverListRequested = false;
  g_bServerListDone = true;
  RunBody();
  g_bServerListDone = false;
  RequestWorkerStop();
  RunBody();
  EXPECT_EQ(server.TotalRequests(), 0);
}

}  // namespace
