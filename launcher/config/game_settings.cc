#include "launcher/config/game_settings.h"

#include "launcher/config/settings_file.h"
#include "platform/desktop.h"

namespace {

// A flag is a whole number, true when it is not 0, blanks around it ignored;
// a value that is no number leaves the field as it was. (wx's own bool
// reading would warn in the log about every value but 0 and 1, such as the
// "82" that older installations carry.)
void ReadFlag(const wxFileConfig& config, const wxString& key, bool& field) {
  long value = 0;
  if (config.Read(key, &value)) field = value != 0;
}

}  // namespace

class GameSettings& GameSettings() {
  static class GameSettings instance;
  return instance;
}

bool GameSettings::Load(wxString path) {
  if (path.empty()) return false;
  filePath = path;
  std::unique_ptr<wxFileConfig> config = ReadSettingsFile(path);
  if (!config) {
    platform::CurrentDesktop().ShowMessageBox(
        "游戏无法启动，缺少 Resolution.ini 文件或重新安装游戏！", "错误",
        platform::MessageBoxButtons::Ok);
    return false;
  }
  ReadFlag(*config, "Setting/FullScreen", FullScreen);
  config->Read("Setting/Resolution", &Resolution);
  if (Resolution == "800*600")
    Resolution = "0";
  else if (Resolution == "1024*768")
    Resolution = "1";
  ReadFlag(*config, "Setting/Voice", Voice);
  return true;
}

bool GameSettings::Save() {
  if (filePath.empty()) return false;
  std::unique_ptr<wxFileConfig> config = ReadSettingsFileForSave(filePath);
  if (!config) return false;
  config->Write("Setting/FullScreen", FullScreen);
  config->Write("Setting/Resolution", Resolution);
  const bool written = config->Write("Setting/Voice", Voice);
  WriteSettingsFile(*config, filePath);
  return written;
}
