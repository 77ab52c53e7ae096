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

ServerListSelection SelectServerList(ServerListReadResult read, const AreaList& shown,
                                     bool popupListsServers) {
  ServerListSelection selection;
  if (read.outcome == ServerListRead::kFailed) return selection;
  selection.listRead = true;
  selection.replacesList = read.outcome == ServerListRead::kParsed;
  if (selection.replacesList) selection.areas = std::move(read.areas);
  const AreaList& areas = selection.replacesList ? selection.areas : shown;
  // The popup shows area 0 before the choice; an empty one stops it.
  if (popupListsServers && (areas.empty() || areas[0].servers.empty())) return selection;
  selection.chosen = true;
  const ServerChoice choice = TakeCurrentServer(areas);
  selection.strings = choice.strings;
  if (choice.taken) {
    selection.taken = true;
    selection.takenName = choice.taken->name;
  }
  return selection;
}

void SaveSelectedServer(const ServerListSelection& selection) {
  if (selection.chosen && selection.strings.IsComplete()) SaveChosenServer(selection.strings);
}

AreaList CopyAreaList(const AreaList& areas) {
  AreaList copy;
  copy.reserve(areas.size());
  for (const AreaInfo& area : areas) {
    AreaInfo& made = copy.emplace_back();
    made.pid = area.pid;
    made.name = area.name;
    for (const auto& server : area.servers)
      made.servers.push_back(std::make_unique<ServerInfo>(*server));
  }
  return copy;
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
