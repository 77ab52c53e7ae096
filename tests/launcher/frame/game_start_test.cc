#include "launcher/frame/game_start.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <utility>

#include "launcher/config/setup_config.h"
#include "launcher/frame/launcher_frame_wnd.h"
#include "platform/ini_file.h"
#include "tests/launcher/setup_config_reset.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

using testing_support::PathExists;
using testing_support::ReadFile;
using testing_support::RecordingDesktop;
using testing_support::TempDir;
using testing_support::WriteFile;

// Points the settings record at a temporary orvo.ini with a chosen server,
// and leaves it pointing nowhere afterwards.
class GameStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame.programDir = wxString::FromUTF8(dir.path());
    WriteFile(dir.File("orvo.ini"), "[Setup]\nServerListUrl=http://127.0.0.1/list.xml\n");
    auto lock = SetupConfig().Lock();
    SetupConfig().Load(wxString::FromUTF8(dir.File("orvo.ini")));
    SetupConfig().ServerAddr = "10.0.0.7";
    SetupConfig().ServerPort = "7001";
    SetupConfig().ServerSid = "42";
  }
  // Load filled every field of the process-wide record; later tests expect
  // it empty.
  void TearDown() override { launcher_test::ClearSetupConfig(); }

  void ExpectSettingsSaved() {
    const std::string ini = dir.File("orvo.ini");
    EXPECT_EQ(platform::ReadIniString(ini, "Setup", "ServerAddr", "-"), "10.0.0.7");
    EXPECT_EQ(platform::ReadIniString(ini, "Setup", "ServerPort", "-"), "7001");
    EXPECT_EQ(platform::ReadIniString(ini, "Setup", "ServerSid", "-"), "42");
  }

  TempDir dir;
  RecordingDesktop desktop;
  LauncherFrameWnd frame;
};

TEST_F(GameStartTest, SavesSettingsThenStartsGameWithWsAndQuits) {
  const std::string out = dir.File("started-with.txt");
  // The game records its parameter and the server it finds saved.
  // Copied from Windows, the name may differ in letter case.
  WriteFile(dir.File("Orvo.exe"), "#!/bin/sh\nprintf '%s\\n' \"$1\" > '" + out +
                                      ".part'\ngrep '^ServerAddr' '" + dir.File("orvo.ini") +
                                      "' >> '" + out + ".part'\nmv '" + out + ".part' '" + out +
                                      "'\n");
  chmod(dir.File("Orvo.exe").c_str(), 0755);

  StartGame(frame.programDir);

  testing_support::WaitUntil([&] { return PathExists(out); });
  EXPECT_EQ(ReadFile(out), "ws\nServerAddr=10.0.0.7\n");
  EXPECT_EQ(desktop.QuitRequests(), std::vector<int>{0});
  EXPECT_TRUE(desktop.MessageBoxes().empty());
  ExpectSettingsSaved();
}

TEST_F(GameStartTest, AGameThatCannotStartIsReportedAndLauncherQuits) {
  const std::string game = dir.File("orvo.exe");
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"missing", [] {}},
      {"directory", [&] { ASSERT_EQ(mkdir(game.c_str(), 0755), 0); }},
      {"not executable", [&] { WriteFile(game, "#!/bin/sh\nexit 0\n"); }},
      {"not a program",
       [&] {
         WriteFile(game, "MZ\x90 not for this system");
         chmod(game.c_str(), 0755);
       }},
  };
  for (const auto& [what, prepare] : cases) {
    SCOPED_TRACE(what);
    std::filesystem::remove_all(game);
    RecordingDesktop desktop;
    prepare();
    StartGame(frame.programDir);

    const auto boxes = desktop.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "游戏无法启动，缺少 orvo.exe 文件或重新安装游戏！");
    EXPECT_EQ(boxes[0].caption, "错误");
    EXPECT_EQ(desktop.QuitRequests(), std::vector<int>{0});
    ExpectSettingsSaved();
  }
}

}  // namespace
