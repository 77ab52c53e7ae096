#include "launcher/serverlist/server_list_download.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "launcher/config/setup_config.h"
#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/serverlist/chosen_server.h"
#include "launcher/serverlist/server_list.h"
#include "launcher/serverlist/server_list_thread.h"
#include "launcher/system/instance_path.h"
#include "launcher/system/my_thread.h"
#include "launcher/system/run_log.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/control.h"
#include "skinui/window_system.h"
#include "tests/launcher/setup_config_reset.h"
#include "tests/support/http_server.h"
#include "tests/support/scramble.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_road_environment.h"
#include "tests/support/wait_until.h"

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
    OpenRunLog(frame.logTarget);
    ASSERT_NE(frame.logTarget.load(), nullptr);
    ResetWorkerStop();
    ClearChosenServer();
    g_bServerListDone = false;
    launcher_test::ClearSetupConfig();
    frame.roadEnvironment = &road;
    auto lock = SetupConfig().Lock();
    SetupConfig().filePath = wxString::FromUTF8(dir.File("orvo.ini"));
  }
  void TearDown() override {
    CloseRunLog(frame.logTarget);
    ResetWorkerStop();
    ClearChosenServer();
    g_bServerListDone = false;
    launcher_test::ClearSetupConfig();
  }

  void SetUrls(const std::string& first, const std::string& second) {
    frame.serverListUrl1 = first.empty() ? wxString() : wxString::FromUTF8(server.Url(first));
    frame.serverListUrl2 = second.empty() ? wxString() : wxString::FromUTF8(server.Url(second));
  }

  bool Download() {
    return DownLoadServerListFile(frame, frame.logTarget, wxString::FromUTF8(dir.path()), road);
  }

  std::string List() const { return dir.File("ServerList.xml"); }
  std::string Temp() const { return dir.File("ServerListTemp.xml"); }
  std::string Logged() const { return ReadFile(dir.File("run.log")); }

  LoopbackHttpServer server;
  TempDir dir;
  LauncherFrameWnd frame;
  testing_support::TestRoadEnvironment road;
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

  // Alone, the first URL is asked again until it answers.
  server.Serve("/flaky", [](int n) { return HttpResponse{n < 3 ? 404 : 200, kListB}; });
  SetUrls("/flaky", "");
  EXPECT_TRUE(Download());
  EXPECT_EQ(server.RequestCount("/flaky"), 3);
}

TEST_F(ServerListDownloadTest, BothUrlsFailingMakeTwentyAttemptsAndLeaveNoTemporaryFile) {
  server.Serve("/first", HttpResponse{404, "<html>404</html>"});
  server.Serve("/second", HttpResponse{302, "", {{"Location", "/first"}}});
  SetUrls("/first", "/second");
  const platform::Status fetched =
      FetchServerList(frame, frame.logTarget, wxString::FromUTF8(dir.path()), road);
  ASSERT_FALSE(fetched);
  EXPECT_EQ(fetched.error().message, "HTTP 404 from " + server.Url("/first") + "; HTTP 302 from " +
                                         server.Url("/second") + " (20 attempts)");
  EXPECT_EQ(server.RequestCount("/first"), 10);
  EXPECT_EQ(server.RequestCount("/second"), 10);
  // Ten rounds keep their pace: a short pause between them, none inside.
  EXPECT_EQ(road.Pauses(), std::vector<std::chrono::milliseconds>(9, road.Pace().attemptPause));
  EXPECT_LE(road.Pace().attemptPause, std::chrono::milliseconds(250));
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

// Only an answer of more than 3 bytes that reads as a server list takes the
// cached list's place: an error page, a compressed body or a hostile
// document leaves it alone.
TEST_F(ServerListDownloadTest, OnlyAListThatParsesReplacesTheCache) {
  std::string deep;
  for (int i = 0; i < 300000; ++i) deep += "<a>";
  constexpr char kNoXml[] = "is no XML document, plain or scrambled";
  constexpr char kOtherRoot[] = "has another root than <velmor>";
  struct Case {
    const char* name;
    std::string body;
    std::string cause;  // after "the list from <url> "; empty: stored
    bool stored() const { return cause.empty(); }
  };
  const Case cases[] = {
      {"three bytes", "abc", "has 3 bytes, too few to be one"},
      {"four bytes", "abcd", kNoXml},
      {"html error page", "<html><body>Service Unavailable</body></html>", kOtherRoot},
      {"gzip body", std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10), kNoXml},
      {"other root", "<servers/>", kOtherRoot},
      {"nested 300,000 deep", "<velmor>" + deep, kNoXml},
      {"list", kListA, ""},
      {"scrambled list", testing_support::Scramble(kListA), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(List(), kListB);
    server.Serve("/list", HttpResponse{200, c.body});
    SetUrls("/list", "");
    const int before = server.RequestCount("/list");
    const platform::Status fetched =
        FetchServerList(frame, frame.logTarget, wxString::FromUTF8(dir.path()), road);
    EXPECT_EQ(fetched.ok(), c.stored());
    if (!fetched) {
      EXPECT_EQ(fetched.error().message, "the list from " + server.Url("/list") + " " + c.cause);
    }
    EXPECT_EQ(server.RequestCount("/list") - before, 1);  // a success ends the passes
    EXPECT_EQ(ReadFile(List()), c.stored() ? c.body : std::string(kListB));
    EXPECT_FALSE(PathExists(Temp()));
    EXPECT_FALSE(PathExists(Temp() + ".tmp"));
  }
}

// The download's fixed work name is never written through: a link planted
// there (symbolic, or a second name of another file) is replaced.
TEST_F(ServerListDownloadTest, LinkAtTheWorkFileIsReplacedNotWrittenThrough) {
  TempDir outside;
  server.Serve("/list", HttpResponse{200, kListA});
  SetUrls("/list", "");
  for (const bool symbolic : {true, false}) {
    SCOPED_TRACE(symbolic ? "symbolic link" : "hard link");
    WriteFile(outside.File("victim"), "keep");
    const int linked = symbolic ? symlink(outside.File("victim").c_str(), Temp().c_str())
                                : link(outside.File("victim").c_str(), Temp().c_str());
    if (!symbolic && linked != 0) continue;  // another filesystem
    ASSERT_EQ(linked, 0);
    EXPECT_TRUE(Download());
    EXPECT_EQ(ReadFile(outside.File("victim")), "keep");
    EXPECT_EQ(ReadFile(List()), kListA);
    EXPECT_FALSE(PathExists(Temp()));
  }
}

TEST_F(ServerListDownloadTest, ShutDownEndsAHangingTransferPromptly) {
  // Shared with the handler, which the server may still be running when
  // this test has ended.
  auto release = std::make_shared<std::atomic<bool>>(false);
  server.Serve("/slow", [release](int) {
    // Holds the answer back until released (bounded, so the server can end).
    testing_support::WaitUntil([&release] { return release->load(); }, std::chrono::seconds(6));
    return HttpResponse{200, kListA};
  });
  SetUrls("/slow", "/slow");
  auto result = std::async(std::launch::async, [this] { return Download(); });
  testing_support::WaitUntil([this] { return server.RequestCount("/slow") > 0; });
  RequestWorkerStop();
  const bool finished = result.wait_for(std::chrono::seconds(4)) == std::future_status::ready;
  *release = true;
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
    frame.programDir = wxString::FromUTF8(dir.path());
    frame.updateWnd = &panel;
    frame.enterGameBtn = &enterGame;
    frame.serverListRequested = true;
  }
  void TearDown() override {
    frame.updateWnd = nullptr;
    frame.enterGameBtn = nullptr;
    ServerListDownloadTest::TearDown();
  }

  // The body runs on its own thread, as it does in the launcher; what it
  // handed to the windows then runs here, on the UI thread, unless asked
  // not to.
  void RunBody(bool runHandedChanges = true) {
    std::thread body([this] { ServerListThreadProc(static_cast<ServerListHost*>(&frame)); });
    body.join();
    if (runHandedChanges) skinui::PumpPendingMessages();
  }

  void ServeList(const HttpResponse& answer) {
    server.Serve("/list", answer);
    SetUrls("/list", "");
  }
  // The cached list as shown at start-up, choosing "a1".
  void ShowCachedList() {
    WriteFile(List(), kListA);
    ASSERT_TRUE(frame.ShowCachedServerList());
  }

  size_t AreaCount() { return panel.areas.size(); }

  UIUpdateWnd panel;
  CControlUI enterGame;  // enabled as constructed
};

TEST_F(ServerListThreadTest, FreshListIsStoredAndChosen) {
  ServeList(HttpResponse{200, kListA});
  RunBody(false);
  // Chosen and saved by the thread itself; the windows only show it.
  EXPECT_NE(ReadFile(dir.File("orvo.ini")).find("ServerSid=a1"), std::string::npos);
  EXPECT_EQ(AreaCount(), 0u);
  skinui::PumpPendingMessages();
  // The thread never touches Enter game: what the update road (or a press
  // on a server) decided, before or meanwhile, stands.
  EXPECT_TRUE(enterGame.IsEnabled());
  EXPECT_TRUE(g_bServerListDone);
  EXPECT_FALSE(frame.serverListRequested);
  EXPECT_EQ(AreaCount(), 1u);
  EXPECT_EQ(g_strServerSid.Get(), "a1");
  const std::string ini = ReadFile(dir.File("orvo.ini"));
  EXPECT_NE(ini.find("ChargeUrl=c1"), std::string::npos) << ini;
  EXPECT_NE(Logged().find(": DownLoadServerListFile success!\n"), std::string::npos);
}

TEST_F(ServerListThreadTest, ListThatDoesNotReadKeepsTheCacheAndTheChoice) {
  for (const char* body : {"<velmor><area name=\"x\">", "<servers/>"}) {
    SCOPED_TRACE(body);
    ShowCachedList();
    const size_t logged = Logged().size();
    g_bServerListDone = false;
    frame.serverListRequested = true;
    ServeList(HttpResponse{200, body});
    RunBody();
    EXPECT_EQ(ReadFile(List()), kListA);
    EXPECT_EQ(AreaCount(), 1u);
    EXPECT_EQ(g_strServerSid.Get(), "a1");
    const std::string log = Logged().substr(logged);
    EXPECT_NE(log.find(": Error: DownLoadServerListFile faiure!\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Connect to the server list of errors!"), std::string::npos) << log;
  }
}

TEST_F(ServerListThreadTest, FailureLogsAndKeepsTheCachedList) {
  ServeList(HttpResponse{404, ""});
  // No list at all: a second line says so.
  RunBody();
  // Each line is followed at once by its cause.
  const std::string failed = Logged();
  const size_t line = failed.find(": Error: DownLoadServerListFile faiure!\n");
  ASSERT_NE(line, std::string::npos);
  // The next line, after its time stamp of 19 characters.
  EXPECT_EQ(failed.find(": Error: cause: HTTP 404 from " + server.Url("/list") + " (10 attempts)\n",
                        line),
            failed.find('\n', line) + 20)
      << failed;
  EXPECT_NE(failed.find("): Connect to the server list of errors!\n"), std::string::npos);
  EXPECT_NE(failed.find("(1701): cause: no server list was downloaded, and none is cached\n"),
            std::string::npos)
      << failed;

  const size_t logged = Logged().size();
  ShowCachedList();
  enterGame.SetEnabled(true);
  g_bServerListDone = false;
  frame.serverListRequested = true;
  RunBody();
  EXPECT_TRUE(enterGame.IsEnabled());
  EXPECT_EQ(ReadFile(List()), kListA);
  EXPECT_EQ(g_strServerSid.Get(), "a1");
  EXPECT_TRUE(g_bServerListDone);
  const std::string log = Logged().substr(logged);
  EXPECT_NE(log.find(": Error: DownLoadServerListFile faiure!\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("Connect to the server list of errors!"), std::string::npos) << log;
}

TEST_F(ServerListThreadTest, EndsAtOnceWhenTheListIsDoneOrShutDownBegins) {
  ServeList(HttpResponse{200, kListA});
  frame.serverListRequested = false;
  g_bServerListDone = true;
  RunBody();
  g_bServerListDone = false;
  RequestWorkerStop();
  RunBody();
  EXPECT_EQ(server.TotalRequests(), 0);
}

}  // namespace
