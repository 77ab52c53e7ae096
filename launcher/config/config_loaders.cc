#include "launcher/config/config_loaders.h"

#include <initializer_list>
#include <string>

#include "launcher/config/game_settings.h"
#include "launcher/config/scrambled_file.h"
#include "launcher/config/settings_file.h"
#include "launcher/config/setup_config.h"
#include "launcher/config/version_config.h"
#include "launcher/system/instance_path.h"
#include "platform/files.h"
#include "platform/ini_file.h"

namespace {

// Default web hosts; web.ini overrides each page.
const char kGameSite[] = "http://www.velmor-game.com";
const char kPaymentSite[] = "http://pay.velmorsoft.com";
const char kMainSite[] = "http://www.velmorsoft.com";
const char kForumSite[] = "http://bbs.velmorsoft.com";
const char kPageServer[] = "http://121.40.16.77";

struct MigratedKey {
  const char* key;
  const char* defaultValue;
};

std::string Native(const wxString& path) { return path.utf8_string(); }

// First start after an installation that ships only orvo.ini: copy the old
// [Setup] keys into a new file's `section`. An existing file is left alone.
void MigrateFromMainConfig(const wxString& target, const char* section,
                           std::initializer_list<MigratedKey> keys) {
  const std::string targetPath = Native(target);
  if (platform::FileExists(targetPath)) return;
  platform::CreateFileIfMissing(targetPath);
  const std::string sourcePath = Native(ProgramFilePath("orvo.ini"));
  for (const MigratedKey& key : keys) {
    const std::string value =
        platform::ReadIniString(sourcePath, "Setup", key.key, key.defaultValue);
    platform::WriteIniString(targetPath, section, key.key, value);
  }
}

// Text of Do.ini and web.ini is UTF-8, but installations carry GBK values
// too: their bytes are kept (as the settings files keep them) instead of
// turning the whole value into "".
wxString FromIniBytes(const std::string& bytes) {
  return wxString(bytes.data(), SettingsTextConverter(), bytes.size());
}

std::string ToIniBytes(const wxString& text) { return text.ToStdString(SettingsTextConverter()); }

// member := value of `key`, the member's current value when missing. Values
// are cut to 254 characters, the default as well: both pass through the
// same 255-character buffer.
void ReadInto(const std::string& path, const char* section, const char* key, wxString& member) {
  const std::string fallback = ToIniBytes(member.Left(platform::kIniValueMaxChars));
  member = FromIniBytes(platform::ReadIniString(path, section, key, fallback));
}

void DeleteIfExists(const std::string& path) {
  if (platform::FileExists(path)) platform::DeleteFile(path);
}

// A file without any section is taken for scrambled: its plain form goes to
// `tmpName` and is read in its place. Returns the path to read.
std::string PlainPathFor(const wxString& name, const wxString& tmpName) {
  const std::string path = Native(InstancePath() + name);
  const std::string tmpPath = Native(InstancePath() + tmpName);
  if (!platform::IniFileHasSection(path) && UnscrambleFile(tmpName, name, kConfigCipherKey) &&
      platform::FileExists(tmpPath))
    return tmpPath;
  return path;
}

}  // namespace

bool LoadMainConfig(wxString& programDir) {
  programDir = InstancePath();
  return SetupConfig().Load(ProgramFilePath("orvo.ini"));
}

bool LoadResolutionConfig() {
  const wxString target = ProgramFilePath("resolution.ini");
  MigrateFromMainConfig(
      target, "Setting",
      {{"Resolution", "1024*768"}, {"FullScreen", "0"}, {"Voice", "82"}, {"BackGroundMusic", ""}});
  return GameSettings().Load(target);
}

bool LoadVersionConfig() {
  const wxString target = ProgramFilePath("version.ini");
  MigrateFromMainConfig(target, "Version", {{"Version", "0.0"}, {"LVersion", "0.0"}});
  return VersionConfig().Load(target);
}

void SetDefaultUrls(LauncherUrls& urls) {
  {
    auto lock = SetupConfig().Lock();
    urls.serverListUrl1 = SetupConfig().ServerListUrl;
    urls.serverListUrl2 = SetupConfig().ServerListUrl2;
    urls.updateVersionUrl1 = SetupConfig().NewUpdateVersionUrl1;
    urls.updateVersionUrl2 = SetupConfig().NewUpdateVersionUrl2;
  }
  const wxString pages = wxString(kPageServer) + "/get_web/";
  urls.websiteUrl = kGameSite;
  urls.rechargeUrl = wxString(kPaymentSite) + "/index.php?game_id=7";
  urls.bbsUrl = wxString(kForumSite) + "/";
  urls.topUrl = pages + "new_top.html";
  urls.top600Url = pages + "new_top_s.html";
  urls.rightUrl = pages + "new_right.html";
  urls.right600Url = pages + "new_right_s.html";
  urls.leftUrl = pages + "new_left.html";
  urls.left600Url = pages + "new_left_s.html";
}

void LoadAddrConfig(LauncherUrls& urls) {
  const wxString name = NameInProgramDirectory("Do.ini");
  const wxString tmpName = "Do.ini.tmp";
  const std::string tmpPath = Native(InstancePath() + tmpName);

  DeleteIfExists(tmpPath);  // left behind by an earlier run
  const std::string path = PlainPathFor(name, tmpName);
  if (platform::FileExists(path)) {
    ReadInto(path, "Addr", "ServerListUrl1", urls.serverListUrl1);
    ReadInto(path, "Addr", "ServerListUrl2", urls.serverListUrl2);
    ReadInto(path, "Addr", "UpdateVersionUrl1", urls.updateVersionUrl1);
    ReadInto(path, "Addr", "UpdateVersionUrl2", urls.updateVersionUrl2);
  }
  DeleteIfExists(tmpPath);
}

void LoadWebConfig(LauncherUrls& urls) {
  const wxString name = NameInProgramDirectory("web.ini");
  const wxString tmpName = "web.ini.tmp";
  const std::string tmpPath = Native(InstancePath() + tmpName);

  std::string path = Native(InstancePath() + name);
  // Unlike Do.ini, a stale web.ini.tmp is only touched when web.ini exists.
  if (platform::FileExists(path)) {
    DeleteIfExists(tmpPath);
    path = PlainPathFor(name, tmpName);
  }
  if (!platform::FileExists(path)) return;

  wxString registerUrl = wxString(kMainSite) + "/reg.php";
  wxString web404Url = wxString(kGameSite) + "/down/?sp=404";
  ReadInto(path, "Web", "WebsiteUrl", urls.websiteUrl);
  ReadInto(path, "Web", "RechargeUrl", urls.rechargeUrl);
  ReadInto(path, "Web", "RegisterUrl", registerUrl);  // read without effect
  ReadInto(path, "Web", "BBSUrl", urls.bbsUrl);
  ReadInto(path, "Web", "Web404Url", web404Url);  // read without effect
  ReadInto(path, "Web", "TopUrl", urls.topUrl);
  ReadInto(path, "Web", "Top600Url", urls.top600Url);
  ReadInto(path, "Web", "RightUrl", urls.rightUrl);
  ReadInto(path, "Web", "Right600Url", urls.right600Url);
  ReadInto(path, "Web", "LeftUrl", urls.leftUrl);
  ReadInto(path, "Web", "Left600Url", urls.left600Url);
  DeleteIfExists(tmpPath);
}
