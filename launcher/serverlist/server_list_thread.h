// The server-list thread: once the frame asks for it, fetches a fresh
// ServerList.xml, reads it, chooses the current server from it and saves the
// choice, then hands what is to be shown to the window side. A failed
// download leaves the cached list.
#pragma once

#include <atomic>

#include "launcher/config/launcher_urls.h"
#include "launcher/serverlist/server_choice.h"
#include "launcher/serverlist/server_list.h"
#include "launcher/system/road_environment.h"
#include "launcher/system/run_log.h"

// The frame as the server-list thread sees it; the thread is given it as its
// user data. The frame derives from it, so the flag stays the frame's member.
// The windows lie above this layer: the list reaches them through
// ShowServerList, which hands it to the UI thread.
class ServerListHost {
 public:
  ServerListHost(const ServerListHost&) = delete;
  ServerListHost& operator=(const ServerListHost&) = delete;

  // The environment of the network roads; where the list comes from, and
  // the run log.
  virtual RoadEnvironment& Road() = 0;
  virtual const LauncherUrls& ServerListAddresses() const = 0;
  virtual RunLogHandle& ServerListLog() = 0;
  // A list read after a download, with the current server chosen from it
  // and saved already: the window side shows it. Any thread; never waits.
  virtual void ShowServerList(ServerListSelection selection) = 0;

  // Set by the frame when it asks for the list; cleared by the thread when
  // it is done.
  std::atomic<bool> serverListRequested{false};
  // What the windows show as the thread starts, set by the frame before it
  // starts the thread and read by the thread alone: a copy of the update
  // panel's list (the cached one; empty when none was shown), which a new
  // document of another root leaves in place, and whether the server-list
  // popup has its list.
  AreaList shownServerList;
  bool popupListsServers = false;

 protected:
  ServerListHost() = default;
  virtual ~ServerListHost() = default;
};

// Set when the thread body has finished (never cleared).
extern std::atomic<bool> g_bServerListDone;

// Thread callback for MyThread; `userData` is the ServerListHost (the frame),
// whose road environment it runs on.
void ServerListThreadProc(void* userData);
