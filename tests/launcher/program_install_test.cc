// The install rule lays out the program directory as a player gets it: every
// program and library finds ours beside itself (run path $ORIGIN), none in
// the build tree.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// What the dynamic loader makes of `file`: ldd's lines, one per library.
std::string LoaderView(const std::string& file) {
  std::string view;
  FILE* ldd = popen(("ldd '" + file + "' 2>&1").c_str(), "r");
  if (!ldd) return "ldd did not start";
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, ldd)) > 0;) view.append(buffer, n);
  pclose(ldd);
  return view;
}

TEST(ProgramInstallTest, EveryFileFindsOurLibrariesBesideIt) {
  testing_support::TempDir root;
  const std::string program = root.File("program/");
  const pid_t install = testing_support::StartProgram(
      {VELMOR_CMAKE_COMMAND, "--install", VELMOR_BUILD_DIR, "--prefix", program});
  ASSERT_GT(install, 0);
  ASSERT_EQ(testing_support::WaitForExit(install, 60), 0);
  EXPECT_TRUE(fs::is_regular_file(program + "bt.dat"));

  for (const char* name :
       {"launcher", "libvelmor_platform.so", "libskinui.so", "libskinui_screen.so",
        "libskinui_web.so", "libTidewell.so", "libRegister.so", "launcherupdate.exe"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(fs::is_regular_file(program + name));
    const std::string view = LoaderView(program + name);
    EXPECT_EQ(view.find("not found"), std::string::npos) << view;
    std::istringstream lines(view);
    for (std::string line; std::getline(lines, line);) {
      const size_t arrow = line.find(" => ");
      if (arrow == std::string::npos) continue;
      const size_t start = line.find_first_not_of(" \t");
      const std::string needed = line.substr(start, arrow - start);
      if (!fs::exists(program + needed)) continue;  // the system's
      const std::string found = line.substr(arrow + 4, line.rfind(" (") - arrow - 4);
      EXPECT_EQ(fs::canonical(found), fs::canonical(program + needed)) << line;
    }
  }
}

}  // namespace
