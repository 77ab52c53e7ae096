#include "tests/launcher/launcher_program_fixture.h"

#include <dirent.h>

#include <chrono>

#include "launcher/serverlist/chosen_server.h"
#include "launcher/win_main.h"
#include "skinui/paint_manager.h"
#include "skinui/window_system.h"
#include "tests/support/wait_until.h"
#include "tests/support/zip_builder.h"

namespace launcher_test {

RECT WindowRect(CWindowWnd* window) {
  RECT rect{};
  skinui::GetWindowRect(window->GetHWND(), &rect);
  return rect;
}

void LauncherProgramTest::SetUp() {
  CPaintManagerUI::SetInstancePath(dir_.path());
  ClearChosenServer();
  testing_support::WriteFile(dir_.File("bt.dat"), testing_support::ReadFile(VELMOR_TEST_BT_DAT));
  Write("orvo.ini",
        "[Setup]\nServerListUrl=\nServerListUrl2=\nUpdateVersionUrl=\nUpdateVersionUrl2=\n"
        "ServerAddr=\nServerPort=\nChargeUrl=\nServerSid=\n");
  Write("version.ini", "[Version]\nVersion=1.0\nLVersion=1.0\n");
  Write("resolution.ini", "[Setting]\nFullScreen=0\nResolution=1\nVoice=1\n");
  Write(
      "web.ini",
      "[Web]\nWebsiteUrl=http://site.test/\nRechargeUrl=http://pay.test/pay\n"
      "BBSUrl=http://bbs.test/\nTopUrl=http://pages.test/top\nTop600Url=http://pages.test/top600\n"
      "LeftUrl=http://pages.test/left\nLeft600Url=http://pages.test/left600\n"
      "RightUrl=http://pages.test/right\nRight600Url=http://pages.test/right600\n");
}

void LauncherProgramTest::TearDown() {
  if (started_) ShutDown();
  CPaintManagerUI::SetInstancePath("");
  ClearChosenServer();
}

void LauncherProgramTest::StartUp(RoadEnvironment& environment) {
  environment_ = &environment;
  ASSERT_TRUE(launcher_main::StartUp(environment));
  started_ = true;
}

void LauncherProgramTest::StartUpAndPrepare() {
  StartUp();
  skinui::PumpPendingMessages();
}

void LauncherProgramTest::SettleServerListThread() {
  LauncherFrameWnd& f = frame();
  ASSERT_TRUE(LoopUntil([&f] { return !f.serverListRequested; }));
  // What the thread handed over before it was done.
  skinui::PumpPendingMessages();
  if (f.enterGameBtn) f.enterGameBtn->SetEnabled(true);
}

void LauncherProgramTest::ShutDown() {
  launcher_main::ShutDown(environment_ ? *environment_ : SystemRoadEnvironment());
  started_ = false;
}

void LauncherProgramTest::WriteSkins(const std::map<std::string, std::string>& replaced) {
  std::map<std::string, std::string> skins;
  if (DIR* dir = opendir(VELMOR_TEST_SKINS_DIR)) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0)
        skins[name] = testing_support::ReadFile(std::string(VELMOR_TEST_SKINS_DIR) + name);
    }
    closedir(dir);
  }
  for (const auto& [name, text] : replaced) skins[name] = text;
  ASSERT_TRUE(testing_support::WriteDeflatedZip(File("bt.dat"), skins));
}

std::string LauncherProgramTest::RunLog() const {
  return testing_support::ReadFile(File("run.log"));
}

void LauncherProgramTest::Write(const std::string& name, const std::string& text) const {
  testing_support::WriteFile(dir_.File(name), text);
}

bool LauncherProgramTest::LoopUntil(const std::function<bool()>& done, int seconds) {
  return testing_support::WaitUntil(
      [&done] {
        skinui::PumpPendingMessages();
        return done();
      },
      std::chrono::seconds(seconds));
}

}  // namespace launcher_test
