#include "launcher/serverlist/server_choice.h"

#include "launcher/config/setup_config.h"
#include "launcher/config/version_config.h"
#include "launcher/serverlist/chosen_server.h"

namespace {

CStdString ToStd(const wxString& text) { return CStdString(text.utf8_string()); }

}  // namespace

SavedServerKeys SavedServerChoice() {
  auto lock = SetupConfig().Lock();
  return SavedServerKeys{ToStd(SetupConfig().ServerSid), ToStd(SetupConfig().ServerAddr),
                         ToStd(SetupConfig().ServerPort)};
}

ServerChoice TakeCurrentServer(const AreaList& areas) {
  const ServerChoice choice = ChooseCurrentServer(areas, SavedServerChoice(), GetChosenServer());
  SetChosenServer(choice.strings);
  return choice;
}

void SaveChosenServer(const ChosenServer& server) {
  auto lock = SetupConfig().Lock();
  StoreServerInSetup(server, StoreSid::Yes);
  SetupConfig().Save();
}

void KeepPickedServer(const ServerInfo& server) {
  const ChosenServer chosen = ChosenServerOf(server);
  SetChosenServer(chosen);
  SaveChosenServer(chosen);
}

wxString InstalledVersionText() {
  wxString version, launcherVersion;
  {
    auto lock = VersionConfig().Lock();
    version = wxString(VersionConfig().Version.wc_str());
    launcherVersion = wxString(VersionConfig().LVersion.wc_str());
  }
  return VersionTextToShow(version, launcherVersion);
}
