#include "launcher/config/config_loaders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "launcher/config/game_settings.h"
#include "launcher/config/settings_file.h"
#include "launcher/config/setup_config.h"
#include "launcher/config/version_config.h"
#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/system/instance_path.h"
#include "platform/ini_file.h"
#include "tests/launcher/setup_config_reset.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/scramble.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::PathExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;
using testing_support::WriteScrambledFile;

const char kMainConfig[] =
    "[Setup]\n"
    "ServerListUrl=http://list.example.com/ServerList.xml\n"
    "ServerListUrl2=http://list2.example.com/ServerList.xml\n"
    "UpdateVersionUrl=http://up.example.com/update.xml\n"
    "UpdateVersionUrl2=http://up2.example.com/update.xml\n"
    "Resolution=800*600\n"
    "Voice=0\n"
    "Version=2.5\n";

class ConfigLoadersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetInstancePath(wxString::FromUTF8(dir_.path()));
    ResetRecords();
  }
  void TearDown() override { ResetRecords(); }

  // The records are process-wide; every test starts from their defaults.
  static void ResetRecords() {
    launcher_test::ClearSetupConfig();
    VersionConfig().Version.clear();
    VersionConfig().LVersion.clear();
    VersionConfig().filePath.clear();
    GameSettings().FullScreen = false;
    GameSettings().Resolution.clear();
    GameSettings().Voice = true;
    GameSettings().filePath.clear();
  }

  // The six loaders in start-up order.
  void LoadAll() {
    LoadMainConfig(frame_.programDir);
    LoadResolutionConfig();
    LoadVersionConfig();
    SetDefaultUrls(frame_);
    LoadAddrConfig(frame_);
    LoadWebConfig(frame_);
  }

  std::string Ini(const char* file, const char* section, const char* key) {
    return platform::ReadIniString(dir_.File(file), section, key, "<missing>");
  }

  TempDir dir_;
  testing_support::RecordingDesktop desktop_;
  LauncherFrameWnd frame_;
};

TEST_F(ConfigLoadersTest, FirstStartWithOnlyTheMainConfig) {
  WriteFile(dir_.File("orvo.ini"), kMainConfig);
  LoadAll();

  EXPECT_EQ(Ini("resolution.ini", "Setting", "Resolution"), "800*600");
  EXPECT_EQ(Ini("resolution.ini", "Setting", "Voice"), "0");
  EXPECT_EQ(Ini("resolution.ini", "Setting", "BackGroundMusic"), "");
  EXPECT_EQ(Ini("version.ini", "Version", "LVersion"), "0.0");
  EXPECT_EQ(GameSettings().Resolution, "0");
  EXPECT_EQ(VersionConfig().Version, "2.5");
  EXPECT_TRUE(desktop_.MessageBoxes().empty());

  // No Do.ini and no web.ini: orvo.ini's URLs and the fixed web pages.
  EXPECT_EQ(frame_.serverListUrl1, "http://list.example.com/ServerList.xml");
  EXPECT_EQ(frame_.updateVersionUrl2, "http://up2.example.com/update_newStyle.xml");
  EXPECT_TRUE(frame_.topUrl.EndsWith("/get_web/new_top.html"));
  EXPECT_TRUE(frame_.rechargeUrl.EndsWith("/index.php?game_id=7"));
}

TEST_F(ConfigLoadersTest, FilesCopiedFromWindowsAreFoundInAnyLetterCase) {
  WriteFile(dir_.File("Orvo.ini"), kMainConfig);
  WriteFile(dir_.File("Version.ini"), "[Version]\nVersion=3.1\nLVersion=1.2\n");
  WriteFile(dir_.File("Resolution.INI"), "[Setting]\nResolution=1280*1024\n");
  WriteFile(dir_.File("DO.INI"), "[Addr]\nServerListUrl1=http://do/\n");
  WriteScrambledFile(dir_.File("Web.ini"), "[Web]\nTopUrl=http://top/\n");
  LoadAll();
  EXPECT_EQ(VersionConfig().Version, "3.1");  // no first installation
  EXPECT_EQ(GameSettings().Resolution, "1280*1024");
  EXPECT_EQ(frame_.serverListUrl2, "http://list2.example.com/ServerList.xml");
  EXPECT_EQ(frame_.serverListUrl1, "http://do/");
  EXPECT_EQ(frame_.topUrl, "http://top/");
  for (const char* created : {"orvo.ini", "version.ini", "resolution.ini", "web.ini.tmp"})
    EXPECT_FALSE(PathExists(dir_.File(created))) << created;
}

TEST_F(ConfigLoadersTest, NoFilesAtAllUsesTheFixedDefaults) {
  EXPECT_FALSE(LoadMainConfig(frame_.programDir));
  EXPECT_TRUE(LoadResolutionConfig());
  EXPECT_TRUE(LoadVersionConfig());
  EXPECT_EQ(Ini("resolution.ini", "Setting", "Resolution"), "1024*768");
  EXPECT_EQ(GameSettings().Resolution, "1");
  EXPECT_EQ(VersionConfig().Version, "0.0");
  EXPECT_TRUE(desktop_.MessageBoxes().empty());
}

TEST_F(ConfigLoadersTest, ExistingResolutionFileIsLoadedUnchanged) {
  WriteFile(dir_.File("orvo.ini"), kMainConfig);
  const std::string resolution = "[Setting]\nResolution=2\nFullScreen=1\n";
  WriteFile(dir_.File("resolution.ini"), resolution);
  EXPECT_TRUE(LoadResolutionConfig());
  EXPECT_EQ(ReadFile(dir_.File("resolution.ini")), resolution);
  EXPECT_EQ(GameSettings().Resolution, "2");
  EXPECT_TRUE(GameSettings().FullScreen);
}

TEST_F(ConfigLoadersTest, PlainAddrConfigOverridesOnlyItsKeysAndMayEmptyOne) {
  WriteFile(dir_.File("orvo.ini"), kMainConfig);
  WriteFile(dir_.File("Do.ini"),
            "[Addr]\nServerListUrl1=http://do.example.com/list.xml\nServerListUrl2=\n");
  LoadAll();
  EXPECT_EQ(frame_.serverListUrl1, "http://do.example.com/list.xml");
  EXPECT_TRUE(frame_.serverListUrl2.empty());
  EXPECT_EQ(frame_.updateVersionUrl1, "http://up.example.com/update_newStyle.xml");
  EXPECT_FALSE(PathExists(dir_.File("Do.ini.tmp")));
}

// A link that names nothing, in place of a settings file the first start
// makes, is replaced by the file; nothing is created where it points.
TEST_F(ConfigLoadersTest, DanglingLinksInPlaceOfMigratedFilesAreNotFollowed) {
  WriteFile(dir_.File("orvo.ini"), kMainConfig);
  TempDir outside;
  for (const char* name : {"resolution.ini", "version.ini"})
    ASSERT_EQ(symlink(outside.File(name).c_str(), dir_.File(name).c_str()), 0) << name;
  LoadAll();
  EXPECT_EQ(GameSettings().Resolution, "0");
  EXPECT_EQ(VersionConfig().Version, "2.5");
  for (const char* name : {"resolution.ini", "version.ini"}) {
    EXPECT_FALSE(PathExists(outside.File(name))) << name;
    struct stat info {};
    ASSERT_EQ(lstat(dir_.File(name).c_str(), &info), 0) << name;
    EXPECT_TRUE(S_ISREG(info.st_mode)) << name;
  }
}

TEST_F(ConfigLoadersTest, ScrambledFilesAreReadAndTheirTemporaryFilesRemoved) {
  WriteFile(dir_.File("orvo.ini"), kMainConfig);
  // Made on Windows: CR LF line ends, which unscramble to CR CR LF.
  WriteScrambledFile(dir_.File("Do.ini"),
                     "[Addr]\r\nUpdateVersionUrl2=http://s.example/update.xml\r\n");
  WriteScrambledFile(dir_.File("web.ini"), "[Web]\r\nTopUrl=http://pages.example/top.html\r\n");
  LoadAll();
  EXPECT_EQ(frame_.updateVersionUrl2, "http://s.example/update.xml");
  EXPECT_EQ(frame_.topUrl, "http://pages.example/top.html");
  EXPECT_TRUE(frame_.rightUrl.EndsWith("/get_web/new_right.html"));
  EXPECT_FALSE(PathExists(dir_.File("Do.ini.tmp")));
  EXPECT_FALSE(PathExists(dir_.File("web.ini.tmp")));
}

TEST_F(ConfigLoadersTest, StaleTemporaryFiles) {
  WriteFile(dir_.File("orvo.ini"), kMainConfig);
  WriteFile(dir_.File("Do.ini.tmp"), "[Addr]\nServerListUrl1=http://stale/\n");
  WriteFile(dir_.File("web.ini.tmp"), "[Web]\nWebsiteUrl=http://stale/\n");
  LoadAll();
  // Do.ini.tmp goes even without Do.ini; web.ini.tmp stays while web.ini is
  // missing. Neither is read.
  EXPECT_FALSE(PathExists(dir_.File("Do.ini.tmp")));
  EXPECT_TRUE(PathExists(dir_.File("web.ini.tmp")));
  EXPECT_EQ(frame_.serverListUrl1, "http://list.example.com/ServerList.xml");
  EXPECT_NE(frame_.websiteUrl, "http://stale/");

  WriteFile(dir_.File("web.ini"), "[Web]\nBBSUrl=http://forum.example/\n");
  LoadWebConfig(frame_);
  EXPECT_FALSE(PathExists(dir_.File("web.ini.tmp")));
  EXPECT_EQ(frame_.bbsUrl, "http://forum.example/");
  EXPECT_NE(frame_.websiteUrl, "http://stale/");
}

TEST_F(ConfigLoadersTest, LongUrlsAreCutTo254CharactersWhenRead) {
  const std::string longUrl = "http://list.example.com/" + std::string(276, 'b');
  ASSERT_EQ(longUrl.size(), 300u);
  WriteFile(dir_.File("orvo.ini"), "[Setup]\nServerListUrl=" + longUrl + "\n");
  LoadMainConfig(frame_.programDir);
  // No Do.ini: nothing is read, the default stays whole.
  SetDefaultUrls(frame_);
  LoadAddrConfig(frame_);
  EXPECT_EQ(frame_.serverListUrl1, wxString::FromUTF8(longUrl));

  // A value read, or a default passed through a read of a missing key.
  WriteFile(dir_.File("Do.ini"), "[Addr]\nServerListUrl2=http://do.example.com/list.xml\n");
  WriteFile(dir_.File("web.ini"), "[Web]\nLeftUrl=" + longUrl + "\n");
  frame_.topUrl = wxString::FromUTF8(longUrl);
  LoadAddrConfig(frame_);
  LoadWebConfig(frame_);
  const wxString cut = wxString::FromUTF8(longUrl.substr(0, 254));
  EXPECT_EQ(frame_.serverListUrl1, cut);
  EXPECT_EQ(frame_.leftUrl, cut);
  EXPECT_EQ(frame_.topUrl, cut);
}

TEST_F(ConfigLoadersTest, ValuesThatAreNotUtf8KeepTheirBytes) {
  WriteFile(dir_.File("orvo.ini"), kMainConfig);
  const std::string gbk = "\xCD\xF8\xD2\xB3";  // "web page" in GBK
  WriteFile(dir_.File("web.ini"), "[Web]\nTopUrl=http://pages.example/" + gbk + ".html\n");
  WriteFile(dir_.File("Do.ini"), "[Addr]\nServerListUrl1=http://do.example/" + gbk + "\n");
  LoadAll();
  const auto bytes = [](const wxString& text) {
    const wxCharBuffer buffer = text.mb_str(SettingsTextConverter());
    return std::string(buffer.data(), buffer.length());
  };
  EXPECT_EQ(bytes(frame_.topUrl), "http://pages.example/" + gbk + ".html");
  EXPECT_EQ(bytes(frame_.serverListUrl1), "http://do.example/" + gbk);

  // Such a value as the default of a missing key passes through unchanged.
  WriteFile(dir_.File("web.ini"), "[Web]\nBBSUrl=http://forum.example/\n");
  LoadWebConfig(frame_);
  EXPECT_EQ(bytes(frame_.topUrl), "http://pages.example/" + gbk + ".html");
}

// Files without a section are taken for scrambled. Neither garbage, an
// empty file, nor a file that cannot be unscrambled (its temporary name is
// taken by a directory, which is no stale file to delete) yields a key.
TEST_F(ConfigLoadersTest, FilesWithoutKeysKeepTheDefaults) {
  WriteFile(dir_.File("orvo.ini"), kMainConfig);
  WriteFile(dir_.File("web.ini"), "");
  WriteFile(dir_.File("Do.ini"), std::string("\x01\xFE garbage \n\x80", 14));
  LoadAll();
  EXPECT_EQ(frame_.serverListUrl1, "http://list.example.com/ServerList.xml");
  EXPECT_TRUE(frame_.bbsUrl.StartsWith("http://"));
  EXPECT_FALSE(PathExists(dir_.File("web.ini.tmp")));
  EXPECT_FALSE(PathExists(dir_.File("Do.ini.tmp")));

  WriteFile(dir_.File("Do.ini"), "ServerListUrl1=http://raw.example/\n");
  WriteFile(dir_.File("web.ini"), "WebsiteUrl=http://raw.example/\n");
  ASSERT_EQ(mkdir(dir_.File("Do.ini.tmp").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir_.File("web.ini.tmp").c_str(), 0755), 0);
  LoadAll();
  EXPECT_EQ(frame_.serverListUrl1, "http://list.example.com/ServerList.xml");
  EXPECT_NE(frame_.websiteUrl, "http://raw.example/");
  EXPECT_EQ(ReadFile(dir_.File("Do.ini")), "ServerListUrl1=http://raw.example/\n");
  EXPECT_TRUE(std::filesystem::is_directory(dir_.File("Do.ini.tmp")));
}

}  // namespace
