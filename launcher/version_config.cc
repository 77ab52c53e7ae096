#include "launcher/version_config.h"

#include "launcher/settings_file.h"
#include "platform/desktop.h"

class VersionConfig& VersionConfig() {
  static class VersionConfig instance;
  return instance;
}

bool VersionConfig::Load(wxString path) {
  auto lock = Lock();
  if (path.empty()) return false;
  filePath = path;
  std::unique_ptr<wxFileConfig> config = ReadSettingsFile(path);
  if (!config) {
    platform::CurrentDesktop().ShowMessageBox("游戏无法启动，缺少 Version.ini 文件或重新安装游戏！",
                                              "错误", platform::MessageBoxButtons::Ok);
    return false;
  }
  if (!config->Read("Version/Version", &Version)) return false;
  if (!config->Read("Version/LVersion", &LVersion)) LVersion.clear();
  return true;
}

bool VersionConfig::Save() {
  auto lock = Lock();
  if (filePath.empty()) return false;
  std::unique_ptr<wxFileConfig> config = ReadSettingsFile(filePath);
  if (!config) return false;
  config->Write("Version/Version", Version);
  const bool written = config->Write("Version/LVersion", LVersion);
  // A version that did not reach the disk is not reported as saved: the
  // update road forgets what it installed only once the version is stored.
  return WriteSettingsFile(*config, filePath) && written;
}
