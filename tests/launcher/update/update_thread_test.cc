// The update thread against the real update library and a loopback update
// server: the pace and the two time limits (on a test clock that moves only
// when the road pauses, so six minutes of a road take none), the ends of
// the thread and shut-down.
#include "launcher/update/update_thread.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "launcher/system/my_thread.h"
#include "launcher/windows/update_wnd.h"
#include "platform/directory_lock.h"
#include "skinui/control.h"
#include "skinui/progress.h"
#include "tests/launcher/update_road_fixture.h"
#include "tests/support/misbehaving_server.h"
#include "tests/support/test_road_environment.h"
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

class UpdateThreadTest : public UpdateRoadTest {
 protected:
  void SetUp() override {
    UpdateRoadTest::SetUp();
    frame.enterGameBtn = &enterGame;
    frame.updateWnd = &panel;
    panel.progressCtrl = &progress;
    enterGame.SetEnabled(false);
    frame.roadEnvironment = &road;
  }

  void TearDown() override {
    StopThread();
    frame.updateWnd = nullptr;
    frame.enterGameBtn = nullptr;
    UpdateRoadTest::TearDown();
  }

  void Prepare() {
    frame.prepareTick = road.Now();
    frame.prepared = true;
  }

  void StartThread() {
    thread_ = std::thread([this] {
      UpdateThread(&frame);
      ended_ = true;
    });
  }

  // Milliseconds on the road's clock since the frame was prepared.
  uint32_t SincePrepared() { return road.Now() - frame.prepareTick; }

  // True when the thread ended by itself within `wait`.
  bool WaitForEnd(std::chrono::milliseconds wait = kThreadEndWait) {
    return testing_support::WaitUntil([this] { return ended_.load(); }, wait);
  }

  // True when the thread has looked at the unprepared frame twice, so it
  // waits there rather than passing through.
  bool WaitUntilWaitingForPrepare() {
    return testing_support::WaitUntil([this] { return road.Polls() >= 2; });
  }

  // The thread's body on `environment`, run to its end on this thread.
  void RunOn(testing_support::TestRoadEnvironment& environment) {
    frame.roadEnvironment = &environment;
    UpdateThread(&frame);
    frame.roadEnvironment = &road;
  }

  void StopThread() {
    if (!thread_.joinable()) return;
    RequestWorkerStop();
    thread_.join();
  }

  // What the windows show once the changes the thread handed over ran.
  bool EnterGameEnabled() {
    RunHandedChanges();
    return enterGame.IsEnabled();
  }

  int ProgressValue() {
    RunHandedChanges();
    return progress.GetValue();
  }

  static void ChooseServer(bool complete) {
    SetChosenServer(ChosenServer{"10.0.0.1", "7000", complete ? "http://pay" : "", "3"});
  }

  testing_support::TestRoadEnvironment road;
  CControlUI enterGame;
  CProgressUI progress;
  UIUpdateWnd panel;
  std::atomic<bool> ended_{false};
  std::thread thread_;
};

// Against update servers that refuse, reset or answer 404 every request,
// the check keeps its pace: 10 attempts per URL with a short pause after
// each failed one (the second URL follows the first's tenth failure),
// pauses that double from 1 s up to 15 s only between whole checks, and
// the give-up line on time; few requests and a small log over the limit.
TEST_F(UpdateThreadTest, NoServerReachableGivesUpAtTheFirstLimitAtItsPace) {
  using testing_support::Misbehaviour;
  const std::string closed =
      "http://127.0.0.1:" + std::to_string(testing_support::ClosedLoopbackPort());
  const std::pair<std::string, Misbehaviour> cases[] = {{"404", Misbehaviour::Answer(404, "gone")},
                                                        {"reset", Misbehaviour::Reset()},
                                                        {"refused", {}}};
  for (const auto& [name, failure] : cases) {
    SCOPED_TRACE(name);
    const bool refused = name == "refused";
    testing_support::MisbehavingServer bad;
    bad.Serve("/m1.xml", failure);
    bad.Serve("/m2.xml", failure);
    frame.updateVersionUrl1 = wxString::FromUTF8(refused ? closed + "/m1" : bad.Url("/m1.xml"));
    frame.updateVersionUrl2 = wxString::FromUTF8(refused ? closed + "/m2" : bad.Url("/m2.xml"));
    testing_support::TestRoadEnvironment pace;
    frame.prepareTick = pace.Now();
    frame.prepared = true;
    const size_t logged = ReadFile(dir.File("run.log")).size();
    RunOn(pace);

    EXPECT_EQ(CountErrorLog(kBusyLine), 1);
    // The give-up line is followed by the last failure, the first URL's first.
    const std::string cause = EntryAfterError(kBusyLine);
    const std::string m1 = frame.updateVersionUrl1.utf8_string();
    const std::string expected = name == "404"     ? "HTTP 404 from " + m1
                                 : name == "reset" ? "transfer from " + m1 + " failed: "
                                                   : "connection refused by " + m1;
    EXPECT_EQ(cause.rfind("Error: launcher(1767): cause: " + expected, 0), 0u) << cause;
    EXPECT_NE(cause.find("; "), std::string::npos) << cause;
    const uint32_t ended = pace.Now() - frame.prepareTick;
    EXPECT_GT(ended, pace.Pace().phaseLimitMs);
    EXPECT_LE(ended, 365000u);
    EXPECT_TRUE(EnterGameEnabled());
    EXPECT_FALSE(UpdateVersionChecked());
    EXPECT_LT(ReadFile(dir.File("run.log")).size() - logged, 1024u * 1024u);

    const std::vector<std::chrono::milliseconds> pauses = pace.Pauses();
    ASSERT_GT(pauses.size(), 18u);
    EXPECT_EQ(std::vector<std::chrono::milliseconds>(pauses.begin(), pauses.begin() + 18),
              std::vector<std::chrono::milliseconds>(18, pace.Pace().attemptPause));
    EXPECT_LE(pace.Pace().attemptPause, 250ms);
    std::vector<std::chrono::milliseconds> between;
    for (const auto pause : pauses)
      if (pause != pace.Pace().attemptPause) between.push_back(pause);
    ASSERT_GE(between.size(), 6u);
    EXPECT_EQ(std::vector<std::chrono::milliseconds>(between.begin(), between.begin() + 5),
              (std::vector<std::chrono::milliseconds>{1s, 2s, 4s, 8s, 15s}));
    EXPECT_LE(*std::max_element(between.begin(), between.end()), 15s);
    // At most 5 requests a second over the six minutes.
    EXPECT_LE(bad.TotalRequests(), 5 * 360);
    std::filesystem::remove(dir.File("run.log"));
    CloseRunLog(frame.logTarget);
    OpenRunLog(frame.logTarget);
  }
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
  ChooseServer(false);
  Prepare();
  // A check that took five minutes still leaves six for the update.
  road.Advance(std::chrono::minutes(5));
  StartThread();

  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(CountErrorLog(kBusyLine), 1);
  const std::string cause = EntryAfterError(kBusyLine);
  EXPECT_EQ(cause.rfind("Error: launcher(1805): cause: patch set 1.3: HTTP 500 from " +
                            Url("/up/c.bin").utf8_string(),
                        0),
            0u)
      << cause;
  EXPECT_FALSE(frame.updateNeeded);
  EXPECT_TRUE(EnterGameEnabled());
  EXPECT_EQ(InstalledGame(), "1.0");
  // Given up 360 s after the check, on time.
  EXPECT_GT(SincePrepared(), 300000u + road.Pace().phaseLimitMs);
  EXPECT_LE(SincePrepared(), 300000u + 365000u);
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
  MyThread* worker = new MyThread(&UpdateThread, &frame, road);
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

// Only one launcher at a time goes down a program directory's update road:
// a second one waits (nothing asked of the server meanwhile) and then checks
// afresh, or gives up at the check's limit when the first never leaves.
TEST_F(UpdateThreadTest, SecondLauncherWaitsForTheUpdateRoad) {
  constexpr char kWaitLine[] = "Another launcher is updating, waiting... ";
  ServeManifest(Set("patch", "1.0") + Set("Launcherpatch", "1.0"));
  platform::DirectoryLock first;
  ASSERT_TRUE(first.TryAcquire(dir.path()));
  road.OnPause([&first, this] {
    EXPECT_EQ(server.TotalRequests(), 0);
    if (road.Pauses().size() == 3) first.Release();
  });
  Prepare();
  StartThread();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(CountLog(kWaitLine), 1);
  EXPECT_EQ(road.Pauses().size(), 3u);
  EXPECT_EQ(CountLog(kLatestLine), 1);
  EXPECT_TRUE(first.TryAcquire(dir.path()));  // the second one let go at its end

  testing_support::TestRoadEnvironment stuck;
  frame.prepareTick = stuck.Now();
  frame.updateNeeded = true;
  RunOn(stuck);
  EXPECT_EQ(CountLog(kWaitLine), 2);
  EXPECT_EQ(CountErrorLog(kBusyLine), 1);
  EXPECT_EQ(EntryAfterError(kBusyLine),
            "Error: launcher(1767): cause: another launcher kept updating this program directory");
  EXPECT_FALSE(frame.updateNeeded);
  EXPECT_EQ(server.TotalRequests(), 1);
  EXPECT_LE(static_cast<uint32_t>(stuck.Now() - frame.prepareTick), 365000u);
}

TEST(SystemRoadEnvironmentTest, ShutDownEndsAPauseAtOnce) {
  ResetWorkerStop();
  std::atomic<bool> paused{true};
  std::thread sleeper([&paused] { paused = SystemRoadEnvironment().Pause(600s); });
  RequestWorkerStop();
  EXPECT_TRUE(testing_support::WaitUntil([&paused] { return !paused; }, 5s));
  sleeper.join();
  EXPECT_FALSE(SystemRoadEnvironment().Pause(1ms));
  ResetWorkerStop();
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
