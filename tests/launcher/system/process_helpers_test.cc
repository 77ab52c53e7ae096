#include "launcher/system/process_helpers.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>

#include "platform/process.h"
#include "tests/support/child_process.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::EndedByKill;
using testing_support::IsListedAs;
using testing_support::RecordingDesktop;
using testing_support::StartSleeper;
using testing_support::TempDir;

TEST(KillProcessesByNameTest, StopsEveryExactMatchOnly) {
  TempDir dir;
  const pid_t first = StartSleeper(dir.path(), "orvo.exe");
  const pid_t second = StartSleeper(dir.path(), "orvo.exe");
  const pid_t upper = StartSleeper(dir.path(), "ORVO.EXE");
  ASSERT_TRUE(first > 0 && second > 0 && upper > 0);
  ASSERT_TRUE(IsListedAs(first, "orvo.exe"));
  ASSERT_TRUE(IsListedAs(second, "orvo.exe"));
  ASSERT_TRUE(IsListedAs(upper, "ORVO.EXE"));

  EXPECT_TRUE(KillProcessesByName(wxString::FromUTF8("orvo.exe"), true));
  EXPECT_TRUE(EndedByKill(first));
  EXPECT_TRUE(EndedByKill(second));
  EXPECT_EQ(waitpid(upper, nullptr, WNOHANG), 0) << "ORVO.EXE must keep running";

  kill(upper, SIGKILL);
  waitpid(upper, nullptr, 0);
}

TEST(KillProcessesByNameTest, NothingRunningIsSuccess) {
  EXPECT_TRUE(KillProcessesByName(wxString::FromUTF8("velmor-never-running.exe"), true));
  EXPECT_TRUE(KillProcessesByName(wxString(), false));
}

TEST(EnsureTrueColorTest, SwitchesOtherDepthsKeepingSizeAndGivesUpOnRefusal) {
  RecordingDesktop desktop;
  desktop.SetDisplayMode({1024, 768, 32, 60});
  EXPECT_TRUE(EnsureTrueColor());
  EXPECT_TRUE(desktop.DisplayModeRequests().empty());

  desktop.SetDisplayMode({1366, 768, 16, 75});
  EXPECT_TRUE(EnsureTrueColor());
  auto requests = desktop.DisplayModeRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(requests[0].width == 1366 && requests[0].height == 768 &&
              requests[0].bitsPerPixel == 32 && requests[0].frequency == 75);

  desktop.SetDisplayMode({1024, 768, 8, 60});
  desktop.SetAcceptDisplayChanges(false);
  EXPECT_TRUE(EnsureTrueColor());
  requests = desktop.DisplayModeRequests();
  EXPECT_GT(requests.size(), 2u);  // retried, but a bounded number of times
  EXPECT_LE(requests.size(), 11u);
  EXPECT_EQ(desktop.GetDisplayMode().bitsPerPixel, 8);
}

}  // namespace
