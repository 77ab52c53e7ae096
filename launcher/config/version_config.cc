#include "launcher/config/version_config.h"

#include "launcher/config/settings_file.h"
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
    // Shown without the lock: no window runs while it is held.
    lock.unlock();
    platform::CurrentDesktop().ShowMessageBox("游戏无法启动，缺少 Version.ini 文件或重新安装游戏！",
                                              "错误", platform::MessageBoxButtons::Ok);
    return false;
  }
  // A file that lost its Version still says which launcher is installed;
  // forgetting that would apply every launcher set again.
  const bool hasVersion = config->Read("Version/Version", &Version);
  if (!config->Read("Version/LVersion", &LVersion) && hasVersion) LVersion.clear();
  return hasVersion;
}

bool VersionConfig::Save() {
  auto lock = Lock();
  if (filePath.empty()) return false;
  std::unique_ptr<wxFileConfig> config = ReadSettingsFileForSave(filePath);
  if (!config) return false;
  config->Write("Version/Version", Version);
  const bool written = config->Write("Version/LVersion", LVersion);
  // A version that did not reach the disk is not reported as saved: the
  // update road forgets what it installed only once the version is stored.
  return WriteSettingsFile(*config, filePath) && written;
}
