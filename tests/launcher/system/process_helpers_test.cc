#include "launcher/system/process_helpers.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "launcher/system/instance_path.h"
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

// Starts `path` as the user and group `id`: a process of another user. -1
// when that cannot be done.
pid_t StartAs(const std::string& path, uid_t id) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  if (setgid(id) == 0 && setuid(id) == 0) execl(path.c_str(), path.c_str(), "60", nullptr);
  _exit(127);
}

pid_t StartScript(const std::string& directory) {
  const std::string path = directory + "orvo.exe";
  testing_support::WriteFile(path, "#!/bin/sh\nwhile :; do sleep 1; done\n");
  chmod(path.c_str(), 0755);
  return testing_support::StartProgram({path});
}

// Only this program directory's game (a program or a script), run by our
// own user, is stopped: copies elsewhere, other names and other users'
// processes keep running.
TEST(KillProcessesByNameTest, StopsOnlyThisInstallationsGameOfOurUser) {
  for (const bool scripts : {false, true}) {
    SCOPED_TRACE(scripts ? "scripts" : "programs");
    TempDir program;
    TempDir elsewhere;
    ASSERT_EQ(chmod(program.path().c_str(), 0755), 0);
    SetInstancePath(wxString::FromUTF8(program.path()));
    struct Process {
      const char* name;
      pid_t pid;
      const char* listedAs;
      bool stopped;
    };
    std::vector<Process> processes;
    if (scripts) {
      processes.push_back({"game", StartScript(program.path()), "orvo.exe", true});
      processes.push_back({"other installation", StartScript(elsewhere.path()), "orvo.exe", false});
    } else {
      processes.push_back({"first", StartSleeper(program.path(), "orvo.exe"), "orvo.exe", true});
      processes.push_back({"second", StartSleeper(program.path(), "orvo.exe"), "orvo.exe", true});
      processes.push_back(
          {"other case", StartSleeper(program.path(), "ORVO.EXE"), "ORVO.EXE", false});
      processes.push_back(
          {"other installation", StartSleeper(elsewhere.path(), "orvo.exe"), "orvo.exe", false});
      if (getuid() == 0)
        processes.push_back(
            {"other user", StartAs(program.File("orvo.exe"), 65534), "orvo.exe", false});
    }
    for (const Process& p : processes) {
      ASSERT_GT(p.pid, 0) << p.name;
      ASSERT_TRUE(IsListedAs(p.pid, p.listedAs)) << p.name;
    }

    EXPECT_TRUE(KillProcessesByName(wxString::FromUTF8("orvo.exe"), true));
    for (const Process& p : processes) {
      if (p.stopped) {
        EXPECT_TRUE(EndedByKill(p.pid)) << p.name;
      } else {
        EXPECT_EQ(waitpid(p.pid, nullptr, WNOHANG), 0) << p.name << " must keep running";
        kill(p.pid, SIGKILL);
        waitpid(p.pid, nullptr, 0);
      }
    }
  }
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
