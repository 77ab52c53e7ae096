#include "launcher/process_helpers.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>

#include "platform/process.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

using testing_support::RecordingDesktop;
using testing_support::TempDir;

// Starts a copy of sleep under `name` in `dir`; -1 on failure.
pid_t StartSleeper(const TempDir& dir, const std::string& name) {
  const std::string path = dir.File(name);
  std::error_code ignored;
  std::filesystem::copy_file("/bin/sleep", path, std::filesystem::copy_options::skip_existing, ignored);
  std::string program = path;
  std::string seconds = "60";
  char* argv[] = {program.data(), seconds.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
  return pid;
}

bool IsListedAs(pid_t pid, const std::string& name) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    const auto processes = platform::ListProcesses();
    for (const auto& entry : processes.value_or(std::vector<platform::ProcessEntry>{})) {
      if (entry.pid == pid && entry.exeName == name) return true;
    }
    platform::SleepMilliseconds(10);
  }
  return false;
}

// Reaps `pid` within a bound; true when it ended by SIGKILL.
bool EndedByKill(pid_t pid) {
  for (int attempt = 0; attempt < 500; ++attempt) {
    int status = 0;
    const pid_t result = waitpid(pid, &status, WNOHANG);
    if (result == pid) return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    if (result < 0) return false;
    platform::SleepMilliseconds(10);
  }
  return false;
}

TEST(KillProcessesByNameTest, StopsEveryExactMatchOnly) {
  TempDir dir;
  const pid_t first = StartSleeper(dir, "orvo.exe");
  const pid_t second = StartSleeper(dir, "orvo.exe");
  const pid_t upper = StartSleeper(dir, "ORVO.EXE");
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
  EXPECT_TRUE(requests[0].width == 1366 && requests[0].height == 768 && requests[0].bitsPerPixel == 32 &&
              requests[0].frequency == 75);

  desktop.SetDisplayMode({1024, 768, 8, 60});
  desktop.SetAcceptDisplayChanges(false);
  EXPECT_TRUE(EnsureTrueColor());
  requests = desktop.DisplayModeRequests();
  EXPECT_GT(requests.size(), 2u);  // retried, but a bounded number of times
  EXPECT_LE(requests.size(), 11u);
  EXPECT_EQ(desktop.GetDisplayMode().bitsPerPixel, 8);
}

}  // namespace
