#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wx/log.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "launcher/config/double_backslashes.h"
#include "launcher/config/game_settings.h"
#include "launcher/config/setup_config.h"
#include "launcher/config/version_config.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::RecordingDesktop;
using testing_support::TempDir;
using testing_support::WriteFile;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

wxString Wx(const std::string& path) { return wxString::FromUTF8(path); }

// Collects every wx log message while it is the active target.
class CapturingLog : public wxLog {
 public:
  CapturingLog() : previous_(wxLog::SetActiveTarget(this)) {}
  ~CapturingLog() override { wxLog::SetActiveTarget(previous_); }
  std::vector<wxString> messages;

 protected:
  void DoLogRecord(wxLogLevel, const wxString& message, const wxLogRecordInfo&) override {
    messages.push_back(message);
  }

 private:
  wxLog* previous_;
};

class SettingsRecordsTest : public ::testing::Test {
 protected:
  TempDir dir_;
  RecordingDesktop desktop_;
};

TEST_F(SettingsRecordsTest, DerivedUpdateUrlStaysInMemoryAndChosenServerKeysAreAdded) {
  const std::string path = dir_.File("orvo.ini");
  WriteFile(
      path,
      "; installed by setup\n[Setup]\nUpdateVersionUrl=http://up.example.com/patch/update.xml\n"
      "ServerPort=7000\n\n# display\n[Display]\nResolution=1024*768\n");
  class SetupConfig config;
  ASSERT_TRUE(config.Load(Wx(path)));
  EXPECT_EQ(config.NewUpdateVersionUrl1, "http://up.example.com/patch/update_newStyle.xml");
  EXPECT_TRUE(config.NewUpdateVersionUrl2.empty());

  const std::string saved = ReadFile(path);
  EXPECT_FALSE(Contains(saved, "NewUpdateVersionUrl")) << saved;
  for (const char* key : {"ServerAddr=\n", "ServerPort=7000\n", "ChargeUrl=\n", "ServerSid=\n"})
    EXPECT_TRUE(Contains(saved, key)) << key << " in\n" << saved;
  EXPECT_TRUE(Contains(saved, "; installed by setup\n[Setup]\n"));
  EXPECT_TRUE(Contains(saved, "# display\n[Display]\nResolution=1024*768\n")) << saved;
  EXPECT_LT(saved.find("ServerSid"), saved.find("[Display]")) << "keys belong to [Setup]";
  EXPECT_TRUE(desktop_.MessageBoxes().empty());
}

TEST_F(SettingsRecordsTest, UrlWithoutADotDerivesNothingAndSavesNothing) {
  const std::string path = dir_.File("orvo.ini");
  const std::string text =
      "[Setup]\nUpdateVersionUrl=nodot\nUpdateVersionUrl2=http://h.example/u.xml\n"
      "NewUpdateVersionUrl2=http://given/new.xml\n";
  WriteFile(path, text);
  class SetupConfig config;
  ASSERT_TRUE(config.Load(Wx(path)));
  EXPECT_TRUE(config.NewUpdateVersionUrl1.empty());
  EXPECT_EQ(config.NewUpdateVersionUrl2, "http://given/new.xml");
  EXPECT_EQ(ReadFile(path), text);
}

TEST_F(SettingsRecordsTest, GameSettingsReadLegacyValuesAndWholeNumbersWithoutLogWarnings) {
  struct Case {
    const char* file;
    const char* resolution;
    bool fullScreen;
    bool voice;
  };
  // Each case starts from the previous one: a value that is no number
  // leaves the flag as it was.
  const Case cases[] = {
      {"Resolution=1024*768\nFullScreen=yes\nVoice=82\n", "1", false, true},
      {"Resolution=800*600\nFullScreen= 2 \nVoice=0\n", "0", true, false},
      {"FullScreen=abc\nVoice=-3\n", "0", true, true},
      {"FullScreen=\"  0  \"\nVoice=abc\n", "0", false, true},
  };
  const std::string path = dir_.File("resolution.ini");
  class GameSettings settings;
  CapturingLog log;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    WriteFile(path, std::string("[Setting]\n") + c.file);
    ASSERT_TRUE(settings.Load(Wx(path)));
    EXPECT_EQ(settings.Resolution, c.resolution);
    EXPECT_EQ(settings.FullScreen, c.fullScreen);
    EXPECT_EQ(settings.Voice, c.voice);
  }
  wxLog::FlushActive();
  for (const wxString& message : log.messages) ADD_FAILURE() << message.utf8_string();

  // Legacy values are written back in the new form; unknown keys stay.
  WriteFile(path, "[Setting]\nResolution=1024*768\nFullScreen=yes\nVoice=82\nBackGroundMusic=\n");
  ASSERT_TRUE(settings.Load(Wx(path)));
  ASSERT_TRUE(settings.Save());
  const std::string saved = ReadFile(path);
  for (const char* line : {"Resolution=1\n", "FullScreen=0\n", "Voice=1\n", "BackGroundMusic=\n"})
    EXPECT_TRUE(Contains(saved, line)) << line << " in\n" << saved;
}

TEST_F(SettingsRecordsTest, ByteOrderMarkIsSkippedAndNotWrittenBack) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string setupPath = dir_.File("orvo.ini");
  WriteFile(setupPath, bom + "[Setup]\nServerListUrl=http://list/\nServerPort=7000\n");
  class SetupConfig setup;
  ASSERT_TRUE(setup.Load(Wx(setupPath)));
  EXPECT_EQ(setup.ServerListUrl, "http://list/");
  ASSERT_TRUE(setup.Save());
  const std::string saved = ReadFile(setupPath);
  EXPECT_EQ(saved.rfind("[Setup]\nServerListUrl=http://list/\n", 0), 0u) << saved;
  EXPECT_EQ(saved.find("[Setup]", 1), std::string::npos) << "one [Setup] only:\n" << saved;

  const std::string versionPath = dir_.File("version.ini");
  WriteFile(versionPath, bom + "[Version]\nVersion=3.1\nLVersion=1.0\n");
  class VersionConfig version;
  ASSERT_TRUE(version.Load(Wx(versionPath)));
  EXPECT_EQ(version.Version, "3.1");
  ASSERT_TRUE(version.Save());
  EXPECT_EQ(ReadFile(versionPath), "[Version]\nVersion=3.1\nLVersion=1.0\n");
  // Saving what the file already holds leaves the file alone (a replace
  // would give it a new inode).
  struct stat before {
  }, after{};
  ASSERT_EQ(stat(versionPath.c_str(), &before), 0);
  ASSERT_TRUE(version.Save());
  ASSERT_EQ(stat(versionPath.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);

  EXPECT_TRUE(desktop_.MessageBoxes().empty());
}

// Missing files, or directories in their place: orvo.ini fails quietly, the
// other two report once on load and never on save.
// A missing file (deleted meanwhile, or a link to nothing) is written anew
// by a save, as a file of its own where a link was; a directory in its
// place is refused.
TEST_F(SettingsRecordsTest, MissingFilesOrDirectoriesInTheirPlace) {
  enum class Place { kMissing, kDirectory, kDanglingLink };
  for (const Place place : {Place::kMissing, Place::kDirectory, Place::kDanglingLink}) {
    SCOPED_TRACE(static_cast<int>(place));
    TempDir dir;
    TempDir outside;
    RecordingDesktop desktop;
    for (const char* name : {"orvo.ini", "version.ini", "resolution.ini"}) {
      if (place == Place::kDirectory) {
        ASSERT_EQ(mkdir(dir.File(name).c_str(), 0755), 0) << name;
      } else if (place == Place::kDanglingLink) {
        ASSERT_EQ(symlink(outside.File(name).c_str(), dir.File(name).c_str()), 0) << name;
      }
    }
    const bool writes = place != Place::kDirectory;
    class SetupConfig setup;
    EXPECT_FALSE(setup.Load(Wx(dir.File("orvo.ini"))));
    class VersionConfig version;
    EXPECT_FALSE(version.Load(Wx(dir.File("version.ini"))));
    version.Version = "1.2";
    EXPECT_EQ(version.Save(), writes);
    class GameSettings settings;
    EXPECT_FALSE(settings.Load(Wx(dir.File("resolution.ini"))));
    EXPECT_TRUE(settings.Voice);
    EXPECT_EQ(settings.Save(), writes);
    setup.ServerAddr = "10.0.0.5";
    EXPECT_EQ(setup.Save(), writes);
    const std::string saved = ReadFile(dir.File("orvo.ini"));
    EXPECT_EQ(Contains(saved, "[Setup]\n") && Contains(saved, "ServerAddr=10.0.0.5\n"), writes);
    EXPECT_EQ(Contains(ReadFile(dir.File("version.ini")), "Version=1.2\n"), writes);
    EXPECT_EQ(Contains(ReadFile(dir.File("resolution.ini")), "Voice=1\n"), writes);

    const auto boxes = desktop.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "游戏无法启动，缺少 Version.ini 文件或重新安装游戏！");
    EXPECT_EQ(boxes[1].text, "游戏无法启动，缺少 Resolution.ini 文件或重新安装游戏！");
    EXPECT_EQ(boxes[0].caption, "错误");
    EXPECT_EQ(boxes[0].buttons, platform::MessageBoxButtons::Ok);
    for (const char* name : {"orvo.ini", "version.ini", "resolution.ini"}) {
      EXPECT_FALSE(testing_support::PathExists(outside.File(name))) << name;
      struct stat info {};
      ASSERT_EQ(lstat(dir.File(name).c_str(), &info), 0) << name;
      EXPECT_EQ(S_ISREG(info.st_mode), writes) << name;
    }
  }
}

TEST_F(SettingsRecordsTest, EmptyFileLoadsAndGainsTheSavedKeys) {
  const std::string path = dir_.File("resolution.ini");
  WriteFile(path, "");
  class GameSettings settings;
  ASSERT_TRUE(settings.Load(Wx(path)));
  EXPECT_TRUE(settings.Voice);
  settings.Resolution = "1";
  ASSERT_TRUE(settings.Save());
  EXPECT_EQ(ReadFile(path), "[Setting]\nFullScreen=0\nResolution=1\nVoice=1\n");
}

TEST_F(SettingsRecordsTest, VersionKeysMissing) {
  const std::string path = dir_.File("version.ini");
  class VersionConfig version;
  version.Version = "1.0";
  version.LVersion = "2.0";
  WriteFile(path, "[Version]\nLVersion=5.5\n");
  // No Version: it stays, no message; the launcher version there is kept.
  EXPECT_FALSE(version.Load(Wx(path)));
  EXPECT_EQ(version.Version, "1.0");
  EXPECT_EQ(version.LVersion, "5.5");

  WriteFile(path, "[Version]\nVersion=3.1\n");
  EXPECT_TRUE(version.Load(Wx(path)));
  EXPECT_EQ(version.Version, "3.1");
  EXPECT_TRUE(version.LVersion.empty());
  EXPECT_TRUE(desktop_.MessageBoxes().empty());

  version.Version = "3.2";
  version.LVersion = "1.1";
  EXPECT_TRUE(version.Save());
  EXPECT_EQ(ReadFile(path), "[Version]\nVersion=3.2\nLVersion=1.1\n");
}

TEST_F(SettingsRecordsTest, ConcurrentSavesNeverCorruptTheFile) {
  const std::string path = dir_.File("orvo.ini");
  WriteFile(path, "[Setup]\nServerListUrl=http://list/\n[Keep]\nA=1\n");
  class SetupConfig config;
  ASSERT_TRUE(config.Load(Wx(path)));
  auto saver = [&config](const char* addr) {
    for (int i = 0; i < 40; ++i) {
      auto lock = config.Lock();
      config.ServerAddr = addr;
      config.ServerPort = wxString::Format("%d", i);
      config.Save();
    }
  };
  std::thread a(saver, "10.0.0.1");
  std::thread b(saver, "10.0.0.2");
  a.join();
  b.join();

  class SetupConfig reread;
  ASSERT_TRUE(reread.Load(Wx(path)));
  EXPECT_TRUE(reread.ServerAddr == "10.0.0.1" || reread.ServerAddr == "10.0.0.2");
  EXPECT_EQ(reread.ServerPort, "39");
  const std::string saved = ReadFile(path);
  EXPECT_EQ(saved.find("[Setup]"), saved.rfind("[Setup]"));
  EXPECT_TRUE(Contains(saved, "[Keep]\nA=1\n")) << saved;
}

TEST_F(SettingsRecordsTest, InvalidUtf8AndLongLinesSurviveLoadAndSave) {
  const std::string path = dir_.File("orvo.ini");
  const std::string longValue(100000, 'x');
  const std::string oddBytes = "caf\xE9 \xFF\xFE end";
  WriteFile(path, "[Setup]\nServerListUrl=http://list/" + oddBytes + "\nLong=" + longValue +
                      "\n[Other]\nName=" + oddBytes + "\n\xC3\n");
  class SetupConfig config;
  ASSERT_TRUE(config.Load(Wx(path)));
  EXPECT_EQ(config.ServerListUrl.substr(0, 12), "http://list/");
  config.ServerAddr = "h";
  ASSERT_TRUE(config.Save());
  const std::string saved = ReadFile(path);
  EXPECT_TRUE(Contains(saved, "Long=" + longValue + "\n"));
  EXPECT_TRUE(Contains(saved, "[Other]\nName=" + oddBytes + "\n")) << "foreign bytes kept";
  EXPECT_TRUE(Contains(saved, "ServerAddr=h\n"));
}

TEST(DoubleBackslashesTest, DoublesEveryBackslash) {
  wxString text = "C:\\Games\\\\Velmor\\";
  DoubleBackslashes(text);
  EXPECT_EQ(text, "C:\\\\Games\\\\\\\\Velmor\\\\");
}

}  // namespace
