#include "launcher/config/setup_config.h"

#include "launcher/config/settings_file.h"

namespace {

// "http://host/update.xml" -> "http://host/update_newStyle.xml": the text
// before the last "." followed by "_newStyle.xml"; false without a ".".
bool DeriveNewStyleUrl(const wxString& url, wxString& derived) {
  const size_t dot = url.rfind('.');
  if (dot == wxString::npos) return false;
  derived = url.substr(0, dot) + "_newStyle.xml";
  return true;
}

}  // namespace

class SetupConfig& SetupConfig() {
  static class SetupConfig instance;
  return instance;
}

bool SetupConfig::Load(wxString path) {
  auto lock = Lock();
  if (path.empty()) return false;
  filePath = path;
  {
    std::unique_ptr<wxFileConfig> config = ReadSettingsFile(path);
    if (!config) return false;
    wxString ignored;
    config->Read("Setup/ServerListUrl", &ServerListUrl);
    config->Read("Setup/UpdateVersionUrl", &UpdateVersionUrl);
    config->Read("Setup/WeiServer", &ignored);
    config->Read("Setup/WeiServer2", &ignored);
    config->Read("Setup/ServerListUrl2", &ServerListUrl2);
    config->Read("Setup/UpdateVersionUrl2", &UpdateVersionUrl2);
    config->Read("Setup/NewUpdateVersionUrl1", &NewUpdateVersionUrl1);
    config->Read("Setup/NewUpdateVersionUrl2", &NewUpdateVersionUrl2);
    config->Read("Setup/ServerAddr", &ServerAddr);
    config->Read("Setup/ServerPort", &ServerPort);
    config->Read("Setup/ChargeUrl", &ChargeUrl);
    config->Read("Setup/ServerSid", &ServerSid);
  }
  if (NewUpdateVersionUrl2.empty() && !UpdateVersionUrl2.empty() &&
      DeriveNewStyleUrl(UpdateVersionUrl2, NewUpdateVersionUrl2))
    Save();
  if (NewUpdateVersionUrl1.empty() && !UpdateVersionUrl.empty() &&
      DeriveNewStyleUrl(UpdateVersionUrl, NewUpdateVersionUrl1))
    Save();
  return true;
}

bool SetupConfig::Save() {
  auto lock = Lock();
  if (filePath.empty()) return false;
  std::unique_ptr<wxFileConfig> config = ReadSettingsFileForSave(filePath);
  if (!config) return false;
  // The derived update URLs are never written: only the chosen server is.
  config->Write("Setup/ServerAddr", ServerAddr);
  config->Write("Setup/ServerPort", ServerPort);
  config->Write("Setup/ChargeUrl", ChargeUrl);
  const bool written = config->Write("Setup/ServerSid", ServerSid);
  WriteSettingsFile(*config, filePath);
  return written;
}
