#include "launcher/config/config_loaders.h"

#include <initializer_list>
#include <string>

#include "launcher/config/game_settings.h"
#include "launcher/config/instance_path.h"
#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/config/scrambled_file.h"
#include "launcher/config/settings_file.h"
#include "launcher/config/setup_config.h"
#include "launcher/config/version_config.h"
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

std::string ToIniBytes(const wxString& text) {
  const wxCharBuffer bytes = text.mb_str(SettingsTextConverter());
  return std::string(bytes.data(), bytes.length());
}

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

bool LoadMainConfig(LauncherFrameWnd& frame) {
  frame.programDir = InstancePath();
  return SetupConfig().Load(ProgramFilePath("orvo.ini"));
}

bool LoadResolutionConfig() {
  const wxString target = ProgramFilePath("resolution.ini");
  MigrateFromMainConfig(target, "Setting",
                        {{"Resolution", "1024*768"},
                         {"FullScreen", "0"},
                         {"Voice", "82"},
                         {"BackGroundMusic", ""}});
  return GameSettings().Load(target);
}

bool LoadVersionConfig() {
  const wxString target = ProgramFilePath("version.ini");
  MigrateFromMainConfig(target, "Version", {{"Version", "0.0"}, {"LVersion", "0.0"}});
  return VersionConfig().Load(target);
}

void SetDefaultUrls(LauncherFrameWnd& frame) {
  {
    auto lock = SetupConfig().Lock();
    frame.serverListUrl1 = SetupConfig().ServerListUrl;
    frame.serverListUrl2 = SetupConfig().ServerListUrl2;
    frame.updateVersionUrl1 = SetupConfig().NewUpdateVersionUrl1;
    frame.updateVersionUrl2 = SetupConfig().NewUpdateVersionUrl2;
  }
  const wxString pages = wxString(kPageServer) + "/get_web/";
  frame.websiteUrl = kGameSite;
  frame.rechargeUrl = wxString(kPaymentSite) + "/index.php?game_id=7";
  frame.bbsUrl = wxString(kForumSite) + "/";
  frame.topUrl = pages + "new_top.html";
  frame.top600Url = pages + "new_top_s.html";
  frame.rightUrl = pages + "new_right.html";
  frame.right600Url = pages + "new_right_s.html";
  frame.leftUrl = pages + "new_left.html";
  frame.left600Url = pages + "new_left_s.html";
}

void LoadAddrConfig(LauncherFrameWnd& frame) {
  const wxString name = NameInProgramDirectory("Do.ini");
  const wxString tmpName = "Do.ini.tmp";
  const std::string tmpPath = Native(InstancePath() + tmpName);

  DeleteIfExists(tmpPath);  // left behind by an earlier run
  const std::string path = PlainPathFor(name, tmpName);
  if (platform::FileExists(path)) {
    ReadInto(path, "Addr", "ServerListUrl1", frame.serverListUrl1);
    ReadInto(path, "Addr", "ServerListUrl2", frame.serverListUrl2);
    ReadInto(path, "Addr", "UpdateVersionUrl1", frame.updateVersionUrl1);
    ReadInto(path, "Addr", "UpdateVersionUrl2", frame.updateVersionUrl2);
  }
  DeleteIfExists(tmpPath);
}

void LoadWebConfig(LauncherFrameWnd& frame) {
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
  ReadInto(path, "Web", "WebsiteUrl", frame.websiteUrl);
  ReadInto(path, "Web", "RechargeUrl", frame.rechargeUrl);
  ReadInto(path, "Web", "RegisterUrl", registerUrl);  // read without effect
  ReadInto(path, "Web", "BBSUrl", frame.bbsUrl);
  ReadInto(path, "Web", "Web404Url", web404Url);  // read without effect
  ReadInto(path, "Web", "TopUrl", frame.topUrl);
  ReadInto(path, "Web", "Top600Url", frame.top600Url);
  ReadInto(path, "Web", "RightUrl", frame.rightUrl);
  ReadInto(path, "Web", "Right600Url", frame.right600Url);
  ReadInto(path, "Web", "LeftUrl", frame.leftUrl);
  ReadInto(path, "Web", "Left600Url", frame.left600Url);
  DeleteIfExists(tmpPath);
}
