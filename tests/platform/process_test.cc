#include "platform/process.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

using namespace platform;
using testing_support::IsListedAs;
using testing_support::TempDir;

pid_t Spawn(const std::string& path, std::vector<std::string> args) {
  args.insert(args.begin(), path);
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

void KillAndReap(pid_t pid) {
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

TEST(ProcessTest, ListsOurselvesInPidOrder) {
  const auto processes = ListProcesses();
  ASSERT_TRUE(processes.has_value());
  bool foundSelf = false;
  for (size_t i = 0; i < processes->size(); ++i) {
    if (i > 0) {
      EXPECT_LT((*processes)[i - 1].pid, (*processes)[i].pid);
    }
    if ((*processes)[i].pid == getpid()) {
      foundSelf = true;
      EXPECT_EQ((*processes)[i].exeName, "platform_tests");
    }
  }
  EXPECT_TRUE(foundSelf);
}

TEST(ProcessTest, NamesCopiedProgramsAndScriptsByTheirFileName) {
  TempDir dir;
  const std::string program = dir.File("orvo-copy.exe");
  std::filesystem::copy_file("/bin/sleep", program);
  const pid_t binary = Spawn(program, {"30"});
  ASSERT_GT(binary, 0);
  EXPECT_TRUE(IsListedAs(binary, "orvo-copy.exe"));

  const std::string script = dir.File("game.sh");
  testing_support::WriteFile(script, "#!/bin/sh\nwhile :; do sleep 1; done\n");
  chmod(script.c_str(), 0755);
  const pid_t shell = Spawn(script, {});
  ASSERT_GT(shell, 0);
  EXPECT_TRUE(IsListedAs(shell, "game.sh"));

  KillAndReap(binary);
  KillAndReap(shell);
}

TEST(ProcessTest, TerminateStopsProcessAndRefusesGroups) {
  const pid_t child = Spawn("/bin/sleep", {"30"});
  ASSERT_GT(child, 0);
  EXPECT_TRUE(TerminateProcess(child));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_FALSE(TerminateProcess(child));  // gone
  EXPECT_FALSE(TerminateProcess(0));
  EXPECT_FALSE(TerminateProcess(-1));
}

TEST(ProcessTest, TerminateWithNameStopsOnlyTheNamedProgram) {
  TempDir dir;
  const std::string program = dir.File("orvo-copy.exe");
  std::filesystem::copy_file("/bin/sleep", program);
  const pid_t child = Spawn(program, {"30"});
  ASSERT_GT(child, 0);
  ASSERT_TRUE(IsListedAs(child, "orvo-copy.exe"));

  // The number now names another program: it is left running.
  EXPECT_FALSE(TerminateProcess(child, "orvo.exe"));
  EXPECT_FALSE(TerminateProcess(child, "ORVO-COPY.EXE"));
  EXPECT_EQ(waitpid(child, nullptr, WNOHANG), 0) << "still running";

  EXPECT_TRUE(TerminateProcess(child, "orvo-copy.exe"));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_FALSE(TerminateProcess(0, "orvo-copy.exe"));
}

}  // namespace
