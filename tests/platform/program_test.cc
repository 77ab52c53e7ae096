#include "platform/program.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

using namespace platform;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// A script that writes its argument count, its first argument and its
// parent's pid into `out`, then renames it into place so it appears whole.
std::string MakeRecorder(const TempDir& dir, const std::string& out) {
  const std::string script = dir.File("recorder.exe");
  WriteFile(script, "#!/bin/sh\nprintf '%s|%s|%s' \"$#\" \"$1\" \"$PPID\" > '" + out +
                        ".part'\nmv '" + out + ".part' '" + out + "'\n");
  chmod(script.c_str(), 0755);
  return script;
}

std::string WaitForFile(const std::string& path) {
  if (!testing_support::WaitUntil([&] { return testing_support::PathExists(path); }))
    return "<timed out>";
  return ReadFile(path);
}

TEST(ProgramTest, StartsDetachedWithOneArgument) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  ASSERT_TRUE(StartProgram(MakeRecorder(dir, out), "ws"));
  const std::string recorded = WaitForFile(out);
  EXPECT_EQ(recorded.substr(0, 5), "1|ws|");
  EXPECT_NE(recorded.substr(5), std::to_string(getpid()));  // not our child
  // The intermediate child has been reaped: no child of ours is left.
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST(ProgramTest, ParametersStayOneArgumentOrNone) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  const std::string script = MakeRecorder(dir, out);
  const std::string parameters = "\"C:\\pkg dir\\*D:\\game\\\" $HOME";
  ASSERT_TRUE(StartProgram(script, parameters));
  EXPECT_EQ(WaitForFile(out).substr(0, parameters.size() + 3), "1|" + parameters + "|");
  std::remove(out.c_str());
  ASSERT_TRUE(StartProgram(script, ""));
  EXPECT_EQ(WaitForFile(out).substr(0, 3), "0||");
}

TEST(ProgramTest, RefusesWhatCannotBeExecuted) {
  TempDir dir;
  WriteFile(dir.File("plain.exe"), "#!/bin/sh\n");
  chmod(dir.File("plain.exe").c_str(), 0644);
  EXPECT_FALSE(StartProgram(dir.File("plain.exe"), "ws"));
  const Status missing = StartProgram(dir.File("missing.exe"), "ws");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().code, ENOENT) << missing.error().message;
  EXPECT_FALSE(StartProgram(dir.path(), "ws"));
  EXPECT_FALSE(StartProgram("", "ws"));
  // Executable bit but no valid format: the exec fails and says so.
  WriteFile(dir.File("garbage.exe"), std::string("\x01\x02\x03garbage", 10));
  chmod(dir.File("garbage.exe").c_str(), 0755);
  const Status garbage = StartProgram(dir.File("garbage.exe"), "ws");
  ASSERT_FALSE(garbage);
  // The cause comes back from the child's failed exec.
  EXPECT_EQ(garbage.error().code, ENOEXEC) << garbage.error().message;
}

TEST(ProgramTest, ProgramDirectoryHoldsThisExecutable) {
  const std::string directory = ProgramDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_EQ(directory.back(), '/');
  EXPECT_EQ(access((directory + "platform_tests").c_str(), X_OK), 0);
}

}  // namespace
