// Worker threads: the frame they get, starting failures, and shut-down that
// waits for every worker.
#include "launcher/system/my_thread.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>

#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/win_main.h"
#include "tests/support/test_road_environment.h"
#include "tests/support/wait_until.h"

namespace {

std::atomic<void*> g_seenUserData{nullptr};
std::atomic<int> g_finishedWorkers{0};

void RecordUserData(void* userData) {
  g_seenUserData = userData;
  g_finishedWorkers++;
}

// Waits for the stop request as a waiting worker does.
void WaitForStop(void* /*userData*/) {
  while (!WaitForWorkerStop(std::chrono::seconds(1))) {
  }
  g_finishedWorkers++;
}

class MyThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWorkerStop();
    g_finishedWorkers = 0;
    g_seenUserData = nullptr;
  }
  void TearDown() override {
    RequestWorkerStop();
    JoinWorkerThreads();
    ResetWorkerStop();
  }
};

TEST_F(MyThreadTest, CallbackGetsTheUserDataOfConstructionTime) {
  LauncherFrameWnd frame;
  auto* thread = new MyThread(RecordUserData, &frame, SystemRoadEnvironment());
  ASSERT_EQ(thread->Create(), 0);
  ASSERT_EQ(thread->Run(), 0);
  JoinWorkerThreads();
  EXPECT_EQ(g_seenUserData.load(), &frame);
}

TEST_F(MyThreadTest, ShutDownWaitsForEveryWorkerToEnd) {
  for (int i = 0; i < 3; ++i) {
    auto* thread = new MyThread(WaitForStop, nullptr, SystemRoadEnvironment());
    ASSERT_EQ(thread->Create(), 0);
    ASSERT_EQ(thread->Run(), 0);
  }
  EXPECT_EQ(RunningWorkerCount(), 3);
  RequestWorkerStop();
  JoinWorkerThreads();
  EXPECT_EQ(g_finishedWorkers.load(), 3);
  EXPECT_EQ(RunningWorkerCount(), 0);
}

TEST_F(MyThreadTest, FailedStartsLeaveTheObjectToTheCaller) {
  using Step = testing_support::TestRoadEnvironment::ThreadStep;
  testing_support::TestRoadEnvironment system;
  system.RefuseNextThread(Step::kPrepare);
  auto* first = new MyThread(RecordUserData, nullptr, system);
  EXPECT_NE(first->Create(), 0);
  EXPECT_NE(first->Run(), 0);  // never created
  delete first;
  system.RefuseNextThread(Step::kStart);
  auto* second = new MyThread(RecordUserData, nullptr, system);
  EXPECT_EQ(second->Create(), 0);
  EXPECT_NE(second->Run(), 0);
  delete second;
  EXPECT_EQ(RunningWorkerCount(), 0);
  // The hook fails one start only.
  auto* third = new MyThread(RecordUserData, nullptr, system);
  EXPECT_EQ(third->Create(), 0);
  EXPECT_EQ(third->Run(), 0);
  JoinWorkerThreads();
  EXPECT_EQ(g_finishedWorkers.load(), 1);
}

// A worker stuck where no stop request reaches it.
std::atomic<bool> g_release{false};
void IgnoreStop(void* /*userData*/) {
  testing_support::WaitUntil([] { return g_release.load(); }, std::chrono::minutes(1));
}

TEST_F(MyThreadTest, WaitingForWorkersIsBounded) {
  g_release = false;
  auto* thread = new MyThread(IgnoreStop, nullptr, SystemRoadEnvironment());
  ASSERT_EQ(thread->Create(), 0);
  ASSERT_EQ(thread->Run(), 0);
  RequestWorkerStop();
  EXPECT_FALSE(WaitForWorkers(50));
  g_release = true;
  EXPECT_TRUE(WaitForWorkers(60000));
  JoinWorkerThreads();
}

TEST_F(MyThreadTest, ShutDownWithAStuckWorkerEndsTheProcessWithZero) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    g_release = false;
    RoadPace pace;
    pace.workerShutDownWait = std::chrono::milliseconds(50);
    testing_support::TestRoadEnvironment environment(pace);
    auto* thread = new MyThread(IgnoreStop, nullptr, environment);
    if (thread->Create() != 0 || thread->Run() != 0) _exit(3);
    launcher_main::ShutDown(environment);
    _exit(4);  // shut-down returned although a worker still runs
  }
  int status = 0;
  pid_t result = 0;
  testing_support::WaitUntil([&] { return (result = waitpid(child, &status, WNOHANG)) != 0; },
                             std::chrono::seconds(30));
  if (result == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  }
  ASSERT_EQ(result, child) << "shut-down did not end";
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
