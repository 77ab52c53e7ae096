// A launcher program directory for window tests: a temporary directory with
// bt.dat and the INI files, set as the program directory, a recording
// desktop, and start-up / shut-down helpers.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "launcher/frame/launcher_frame_wnd.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/temp_dir.h"

namespace launcher_test {

RECT WindowRect(CWindowWnd* window);

class LauncherProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Start-up as WinMain does it (on `environment`, which shut-down uses
  // too), then the queued "windowinit" (OnPrepare).
  void StartUp(RoadEnvironment& environment = SystemRoadEnvironment());
  void StartUpAndPrepare();
  // Waits until the server-list thread has done its work and what it handed
  // to the windows has run, then enables EnterGameBtn as the update road
  // would.
  void SettleServerListThread();
  void ShutDown();

  // Writes bt.dat from the source skins with some of them replaced.
  void WriteSkins(const std::map<std::string, std::string>& replaced);

  LauncherFrameWnd& frame() { return *g_pFrame.load(); }
  std::string RunLog() const;
  std::string File(const std::string& name) const { return dir_.File(name); }
  void Write(const std::string& name, const std::string& text) const;

  // Runs queued messages until `done` or about `seconds` passed; false on
  // time-out. A queued WM_QUIT stays queued.
  static bool LoopUntil(const std::function<bool()>& done, int seconds = 10);

  testing_support::TempDir dir_;
  testing_support::RecordingDesktop desktop_;
  bool started_ = false;
  RoadEnvironment* environment_ = nullptr;
};

}  // namespace launcher_test
