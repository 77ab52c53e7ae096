#include "launcher/serverlist/server_list_thread.h"

#include <chrono>
#include <thread>

#include "launcher/serverlist/server_list_download.h"
#include "launcher/system/instance_path.h"
#include "launcher/system/my_thread.h"

std::atomic<bool> g_bServerListDone{false};

namespace {

constexpr auto kRequestPollInterval = std::chrono::milliseconds(10);
constexpr char kListName[] = "ServerList.xml";

// Waits until the frame asks for the list. False when the thread should end
// instead: the list was done already, or shut-down has begun.
bool WaitForRequest(ServerListHost& host) {
  while (!host.serverListRequested) {
    if (g_bServerListDone || WorkerStopRequested()) return false;
    std::this_thread::sleep_for(kRequestPollInterval);
  }
  return !WorkerStopRequested();
}

}  // namespace

void ServerListThreadProc(void* userData) {
  if (userData == nullptr) return;
  RunServerListThread(*static_cast<ServerListHost*>(userData), SystemRoadEnvironment());
}

void RunServerListThread(ServerListHost& host, RoadEnvironment& environment) {
  // Enter game was disabled by OnPrepare, before this thread started.
  if (!WaitForRequest(host)) return;

  RunLogHandle& log = host.ServerListLog();
  const bool downloaded =
      DownLoadServerListFile(host.ServerListAddresses(), log, InstancePath(), environment);
  if (WorkerStopRequested()) {
    // Shut-down has begun: leave the windows alone.
    host.serverListRequested = false;
    g_bServerListDone = true;
    return;
  }
  if (downloaded) {
    LogPlainMessage("DownLoadServerListFile success!");
    // Read here, off the UI thread, as stored (whatever the copy left).
    if (!host.ShowServerList(ReadServerListFile(kListName)))
      RUNLOG_ERROR(log, 1688, "Connect to the server list of errors!");
  } else {
    LogPlainError("DownLoadServerListFile faiure!");
    if (!host.ServerListShown()) RUNLOG_ERROR(log, 1701, "Connect to the server list of errors!");
  }
  host.serverListRequested = false;
  g_bServerListDone = true;
}
