#include "launcher/serverlist/server_list_thread.h"

#include <utility>

#include "launcher/serverlist/server_list_download.h"
#include "launcher/system/instance_path.h"

std::atomic<bool> g_bServerListDone{false};

namespace {

constexpr char kListName[] = "ServerList.xml";

// Waits until the frame asks for the list. False when the thread should end
// instead: the list was done already, or shut-down has begun.
bool WaitForRequest(ServerListHost& host, RoadEnvironment& environment) {
  while (!host.serverListRequested) {
    if (g_bServerListDone || environment.StopRequested()) return false;
    if (!environment.Poll(environment.Pace().flagPollInterval)) return false;
  }
  return !environment.StopRequested();
}

}  // namespace

void ServerListThreadProc(void* userData) {
  if (userData == nullptr) return;
  ServerListHost& host = *static_cast<ServerListHost*>(userData);
  RoadEnvironment& environment = host.Road();
  // Enter game was disabled by OnPrepare, before this thread started.
  if (!WaitForRequest(host, environment)) return;

  RunLogHandle& log = host.ServerListLog();
  const platform::Status downloaded =
      FetchServerList(host.ServerListAddresses(), log, InstancePath(), environment);
  if (environment.StopRequested()) {
    // Shut-down has begun: leave the windows alone.
    host.serverListRequested = false;
    g_bServerListDone = true;
    return;
  }
  if (downloaded) {
    LogPlainMessage("DownLoadServerListFile success!");
    // Read, chosen and saved here, off the UI thread, as stored (whatever
    // the copy left); the windows only show it.
    ServerListSelection selection = SelectServerList(ReadServerListFile(kListName),
                                                     host.shownServerList, host.popupListsServers);
    SaveSelectedServer(selection);
    const bool readable = selection.listRead;
    const bool shown = readable && selection.chosen;
    host.ShowServerList(std::move(selection));
    if (!shown) {
      RUNLOG_ERROR(log, 1688, "Connect to the server list of errors!");
      RUNLOG_CAUSE(log, 1688,
                   readable ? "no server of the list's first area can be shown"
                            : "ServerList.xml cannot be read as a server list");
    }
  } else {
    LogPlainError("DownLoadServerListFile faiure!");
    LogPlainCause(wxString::FromUTF8(downloaded.error().message));
    if (host.shownServerList.empty()) {
      RUNLOG_ERROR(log, 1701, "Connect to the server list of errors!");
      RUNLOG_CAUSE(log, 1701, "no server list was downloaded, and none is cached");
    }
  }
  host.serverListRequested = false;
  g_bServerListDone = true;
}
