// The update thread against the real update library and a loopback update
// server: the two time limits, the ends of the thread and shut-down.
#include "launcher/update/update_thread.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "launcher/system/my_thread.h"
#include "launcher/update/update_road_pacer.h"
#include "launcher/windows/update_wnd.h"
#include "platform/tick.h"
#include "skinui/control.h"
#include "skinui/progress.h"
#include "skinui/ui_lock.h"
#include "tests/launcher/update_road_fixture.h"
#include "tests/support/misbehaving_server.h"
#include "tests/support/wait_until.h"

namespace update_road_testing {
namespace {

using namespace std::chrono_literals;

constexpr char kPassLine[] = "Please later is connect to the server... ";
constexpr char kBusyLine[] = "The network is busy,please update again later!";
constexpr char kLatestLine[] = "The current is the latest version... ";
constexpr char kUpdateLine[] = "Connect the server and update... ";

// Long enough for any run here to end on its own; a hang fails instead.
constexpr auto kThreadEndWait = 60s;

// How often the thread has found the frame not prepared yet.
std::atomic<int> g_unpreparedLooks{0};
void CountUnpreparedLook() { ++g_unpreparedLooks; }

class UpdateThreadTest : public UpdateRoadTest {
 protected:
  void SetUp() override {
    UpdateRoadTest::SetUp();
    frame.enterGameBtn = &enterGame;
    frame.updateWnd = &panel;
    panel.progressCtrl = &progress;
    enterGame.SetEnabled(false);
    g_unpreparedLooks = 0;
    SetUnpreparedFrameObserverForTesting(&CountUnpreparedLook);
  }

  void TearDown() override {
    StopThread();
    SetUnpreparedFrameObserverForTesting(nullptr);
    SetUpdateTimeLimitForTesting(0);
    frame.updateWnd = nullptr;
    frame.enterGameBtn = nullptr;
    UpdateRoadTest::TearDown();
  }

  void Prepare() {
    frame.prepareTick = platform::TickCount();
    frame.prepared = true;
  }

  void StartThread() {
    thread_ = std::thread([this] {
      UpdateThread(nullptr);
      ended_ = true;
    });
  }

  // True when the thread ended by itself within `wait`.
  bool WaitForEnd(std::chrono::milliseconds wait = kThreadEndWait) {
    return testing_support::WaitUntil([this] { return ended_.load(); }, wait);
  }

  // True when the thread has looked at the unprepared frame twice, so it
  // waits there rather than passing through.
  static bool WaitUntilWaitingForPrepare() {
    return testing_support::WaitUntil([] { return g_unpreparedLooks >= 2; });
  }

  void StopThread() {
    if (!thread_.joinable()) return;
    RequestWorkerStop();
    thread_.join();
  }

  bool EnterGameEnabled() {
    skinui::UiLockGuard guard;
    return enterGame.IsEnabled();
  }

  int ProgressValue() {
    skinui::UiLockGuard guard;
    return progress.GetValue();
  }

  static void ChooseServer(bool complete) {
    SetChosenServer(ChosenServer{"10.0.0.1", "7000", complete ? "http://pay" : "", "3"});
  }

  CControlUI enterGame;
  CProgressUI progress;
  UIUpdateWnd panel;
  std::atomic<bool> ended_{false};
  std::thread thread_;
};

TEST_F(UpdateThreadTest, NoServerReachableGivesUpAtTheFirstLimit) {
  const int closedPort = testing_support::ClosedLoopbackPort();
  ASSERT_GT(closedPort, 0);
  frame.updateVersionUrl1 = wxString::Format("http://127.0.0.1:%d/up/manifest.xml", closedPort);
  SetUpdateTimeLimitForTesting(300);
  frame.updateNeeded = true;
  Prepare();
  StartThread();

  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(CountErrorLog(kBusyLine), 1);
  EXPECT_EQ(CountLog(kLatestLine), 0);
  EXPECT_FALSE(frame.updateNeeded);
  EXPECT_TRUE(EnterGameEnabled());
  EXPECT_FALSE(UpdateVersionChecked());
  EXPECT_NE(ProgressValue(), 100);
}

TEST_F(UpdateThreadTest, CurrentVersionsEnableEnterGameAtOnce) {
  ServeManifest(Set("patch", "1.0") + Set("Launcherpatch", "1.0"));
  StartThread();
  // The thread waits for the frame to be prepared.
  ASSERT_TRUE(WaitUntilWaitingForPrepare());
  EXPECT_FALSE(ended_);
  EXPECT_EQ(server.TotalRequests(), 0);
  Prepare();

  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(CountLog(kPassLine), 1);
  EXPECT_EQ(CountLog(kLatestLine), 1);
  EXPECT_TRUE(UpdateVersionChecked());
  // Enabled although no server has been chosen.
  EXPECT_TRUE(EnterGameEnabled());
  EXPECT_EQ(ProgressValue(), 100);
  // The library stays loaded until the launcher ends.
  EXPECT_NE(frame.livePatch, nullptr);
}

TEST_F(UpdateThreadTest, UpdateIsAppliedUntilItSucceeds) {
  // The first apply attempt fails all its downloads of the file.
  const std::string body = "new game data";
  server.Serve("/up/a.bin", [body](int request) {
    return request <= 10 ? HttpResponse(500, "busy") : HttpResponse(200, body);
  });
  ServeFile("l1.bin", "launcher 1.5");
  ServeFile("l2.bin", "launcher 2.0");
  ServeManifest(Set("patch", "1.0") + Set("patch", "1.1", "a.bin") +
                Set("Launcherpatch", "1.5", "l1.bin") + Set("Launcherpatch", "2.0", "l2.bin"));
  ChooseServer(true);
  Prepare();
  StartThread();

  ASSERT_TRUE(WaitForEnd());
  EXPECT_GT(server.RequestCount("/up/a.bin"), 10);
  EXPECT_EQ(ReadFile(dir.File("game/a.bin")), body);
  // The first launcher step stores the newest launcher version, which the
  // library reads through its reference: the second launcher set is skipped.
  EXPECT_EQ(server.RequestCount("/up/l1.bin"), 1);
  EXPECT_EQ(server.RequestCount("/up/l2.bin"), 0);
  EXPECT_GE(CountLog(kPassLine), 3);  // check, failed apply, apply
  EXPECT_EQ(CountLog(kUpdateLine), 1);
  EXPECT_EQ(CountErrorLog(kBusyLine), 0);

  // The versions reached are kept, also on disk.
  EXPECT_EQ(InstalledLauncher(), "2.0");
  const std::string ini = ReadFile(dir.File("version.ini"));
  EXPECT_NE(ini.find("Version=1.1"), std::string::npos) << ini;
  EXPECT_NE(ini.find("LVersion=2.0"), std::string::npos) << ini;

  EXPECT_FALSE(frame.updateNeeded);
  EXPECT_FALSE(TheLivePatchHolder().module);
  EXPECT_TRUE(EnterGameEnabled());
  EXPECT_EQ(ProgressValue(), 100);
}

TEST_F(UpdateThreadTest, UpdateWithoutChosenServerLeavesEnterGameDisabled) {
  const std::string body = "data";
  ServeFile("b.bin", body);
  ServeManifest(Set("patch", "1.2", "b.bin") + Set("Launcherpatch", "1.0"));
  ChooseServer(false);
  enterGame.SetEnabled(true);
  Prepare();
  StartThread();

  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(InstalledGame(), "1.2");
  EXPECT_FALSE(EnterGameEnabled());
}

TEST_F(UpdateThreadTest, UpdateThatNeverSucceedsGivesUpAtTheSecondLimit) {
  server.Serve("/up/c.bin", HttpResponse(500, "busy"));
  ServeManifest(Set("patch", "1.3", "c.bin") + Set("Launcherpatch", "1.0"));
  SetUpdateTimeLimitForTesting(500);
  ChooseServer(false);
  Prepare();
  StartThread();

  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(CountErrorLog(kBusyLine), 1);
  EXPECT_FALSE(frame.updateNeeded);
  EXPECT_TRUE(EnterGameEnabled());
  EXPECT_EQ(InstalledGame(), "1.0");
  // Given up: the library stays loaded until the launcher ends.
  ASSERT_NE(frame.livePatch, nullptr);
  EXPECT_NE(frame.livePatch->patch, nullptr);
}

TEST_F(UpdateThreadTest, ShutDownDuringTheUpdateEndsTheThread) {
  std::atomic<int> fileRequests{0};
  server.Serve("/up/d.bin", [&fileRequests](int) {
    ++fileRequests;
    return HttpResponse(500, "busy");
  });
  ServeManifest(Set("patch", "1.4", "d.bin") + Set("Launcherpatch", "1.0"));
  Prepare();
  StartThread();

  // Let it retry the update a while, then shut down.
  testing_support::WaitUntil([&fileRequests] { return fileRequests >= 25; }, kThreadEndWait);
  ASSERT_GE(fileRequests.load(), 25);
  RequestWorkerStop();
  ASSERT_TRUE(WaitForEnd());
  // It gave nothing up and showed nothing after the request.
  EXPECT_EQ(CountErrorLog(kBusyLine), 0);
  EXPECT_TRUE(frame.updateNeeded);
  EXPECT_FALSE(EnterGameEnabled());
  EXPECT_EQ(InstalledGame(), "1.0");
}

TEST_F(UpdateThreadTest, ShutDownWhileWaitingForThePreparedFrameJoinsTheWorker) {
  MyThread* worker = new MyThread(&UpdateThread, g_pFrame.load());
  ASSERT_EQ(worker->Create(), 0);
  ASSERT_EQ(worker->Run(), 0);
  EXPECT_TRUE(WaitUntilWaitingForPrepare());
  RequestWorkerStop();
  JoinWorkerThreads();
  EXPECT_EQ(RunningWorkerCount(), 0);
  EXPECT_EQ(server.TotalRequests(), 0);
  EXPECT_EQ(CountLog(kPassLine), 0);
  EXPECT_FALSE(EnterGameEnabled());
}

// Against a server that fails every request the road pauses between its
// attempts, so that a launcher makes at most 100 requests and writes under
// 1 MiB of log in its first minute. The minute is counted on the pauses the
// road asks for (the real pauses are skipped), so the test takes no minute.
TEST_F(UpdateThreadTest, FailingServerGetsFewRequestsInTheFirstMinute) {
  using testing_support::Misbehaviour;
  for (const Misbehaviour& failure : {Misbehaviour::Answer(404), Misbehaviour::Reset()}) {
    testing_support::MisbehavingServer bad;
    ASSERT_TRUE(bad.running());
    bad.Serve("/m1.xml", failure);
    bad.Serve("/m2.xml", failure);
    frame.updateVersionUrl1 = wxString::FromUTF8(bad.Url("/m1.xml"));
    frame.updateVersionUrl2 = wxString::FromUTF8(bad.Url("/m2.xml"));
    std::atomic<long long> pausedMs{0};
    SetRetryPausesForTesting(0ms, 0ms);
    SetRetryWaiterForTesting([&pausedMs](std::chrono::milliseconds pause) {
      return (pausedMs += pause.count()) < 60000;
    });
    Prepare();
    StartThread();
    ASSERT_TRUE(WaitForEnd());
    thread_.join();
    SetRetryWaiterForTesting(nullptr);
    EXPECT_GE(bad.TotalRequests(), 5);
    EXPECT_LE(bad.TotalRequests(), 100);
    EXPECT_LT(ReadFile(dir.File("run.log")).size(), 1024u * 1024u);
    EXPECT_EQ(CountErrorLog(kBusyLine), 0);
    ended_ = false;
    UpdateRoadPacer().Reset();
  }
}

TEST_F(UpdateThreadTest, ShutDownEndsAPauseAtOnce) {
  server.Serve("/up/manifest.xml", HttpResponse(404, "gone"));
  SetRetryPausesForTesting(600s, 600s);
  Prepare();
  StartThread();
  testing_support::WaitUntil([this] { return server.TotalRequests() > 0; }, kThreadEndWait);
  ASSERT_EQ(server.TotalRequests(), 1);  // now in the first, long pause
  RequestWorkerStop();
  EXPECT_TRUE(WaitForEnd(5s));
  EXPECT_EQ(server.TotalRequests(), 1);
}

// Installing a package stops every orvo.exe: the suite's name puts it
// under the game-process lock of the test run.
using UpdateThreadGameProcessTest = UpdateThreadTest;

TEST_F(UpdateThreadGameProcessTest, PackageThatCannotBeUnpackedEndsTheThread) {
  // The package is no zip archive; the next set's file never comes, so the
  // apply attempt fails after the status callback has given the update up.
  ServeFile("bad.upd", "this is no zip archive");
  server.Serve("/up/e.bin", HttpResponse(500, "busy"));
  ServeManifest(Set("patch", "1.1", "bad.upd", "temp") + Set("patch", "1.2", "e.bin") +
                Set("Launcherpatch", "1.0"));
  ChooseServer(false);
  Prepare();
  StartThread();

  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(CountErrorLog("unzip files failure!"), 1);
  // One check and one apply attempt; no retry, no time limit.
  EXPECT_EQ(CountLog(kPassLine), 2);
  EXPECT_EQ(server.RequestCount("/up/bad.upd"), 1);
  EXPECT_EQ(CountErrorLog(kBusyLine), 0);
  // Enabled although no server is chosen: the update was given up.
  EXPECT_TRUE(EnterGameEnabled());
  EXPECT_EQ(frame.livePatch, nullptr);
  EXPECT_TRUE(PathExists(dir.File("temp/bad.upd")));
}

}  // namespace
}  // namespace update_road_testing
