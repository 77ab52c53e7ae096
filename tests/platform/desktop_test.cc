#include "platform/desktop.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

using namespace platform;
using testing_support::RecordingDesktop;

TEST(DesktopTest, DefaultDesktopHoldsModeAndCallsQuitHandler) {
  Desktop& desktop = CurrentDesktop();
  const DisplayMode start = desktop.GetDisplayMode();
  EXPECT_EQ(start.bitsPerPixel, kDefaultDisplayMode.bitsPerPixel);

  EXPECT_TRUE(desktop.ChangeDisplayMode({800, 600, 16, 75}));
  EXPECT_EQ(desktop.GetDisplayMode().width, 800);
  EXPECT_FALSE(desktop.ChangeDisplayMode({0, 0, 32, 60}));
  EXPECT_TRUE(desktop.ChangeDisplayMode(start));

  int received = -1;
  SetQuitHandler([&received](int code) { received = code; });
  desktop.PostQuit(3);
  EXPECT_EQ(received, 3);
  SetQuitHandler(nullptr);
  desktop.PostQuit(4);  // no handler: nothing happens
  EXPECT_EQ(received, 3);

  EXPECT_EQ(desktop.ShowMessageBox("text", "caption", MessageBoxButtons::Ok), MessageBoxResult::Ok);
}

// Runs `body` with PATH set to `path`, then puts the old PATH back.
template <typename Body>
void WithPath(const std::string& path, Body body) {
  const char* old = std::getenv("PATH");
  const std::string saved = old ? old : "";
  setenv("PATH", path.c_str(), 1);
  body();
  setenv("PATH", saved.c_str(), 1);
}

TEST(DesktopTest, DefaultDesktopOpensUrlsThroughXdgOpen) {
  testing_support::TempDir dir;
  const std::string out = dir.File("url.txt");
  testing_support::WriteFile(dir.File("xdg-open"), "#!/bin/sh\nprintf '%s' \"$1\" > '" + out +
                                                       ".part'\n/bin/mv '" + out + ".part' '" +
                                                       out + "'\n");
  chmod(dir.File("xdg-open").c_str(), 0755);
  WithPath(dir.path(),
           [&] { EXPECT_TRUE(CurrentDesktop().OpenUrl("http://127.0.0.1/news?a=1&b=2")); });
  testing_support::WaitUntil([&] { return testing_support::PathExists(out); });
  EXPECT_EQ(testing_support::ReadFile(out), "http://127.0.0.1/news?a=1&b=2");

  testing_support::TempDir empty;
  WithPath(empty.path(), [] { EXPECT_FALSE(CurrentDesktop().OpenUrl("http://127.0.0.1/")); });
}

TEST(DesktopTest, RecordingDesktopRecordsFromManyThreads) {
  RecordingDesktop desktop;
  desktop.SetAcceptDisplayChanges(false);
  desktop.SetDisplayMode({1280, 720, 16, 60});
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) {
        Desktop& d = CurrentDesktop();
        d.ShowMessageBox("m", "c", MessageBoxButtons::YesNo);
        d.OpenUrl("http://127.0.0.1/" + std::to_string(t));
        EXPECT_FALSE(d.ChangeDisplayMode({1280, 720, 32, 60}));
        d.PostQuit(t);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(desktop.MessageBoxes().size(), 200u);
  EXPECT_EQ(desktop.OpenedUrls().size(), 200u);
  EXPECT_EQ(desktop.QuitRequests().size(), 200u);
  EXPECT_EQ(desktop.GetDisplayMode().bitsPerPixel, 16);  // every change refused
}

}  // namespace
