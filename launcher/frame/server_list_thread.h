// The server-list thread: once the frame allows it, fetches a fresh
// ServerList.xml from the web and has the update panel parse it again and
// choose the current server. A failed download leaves the cached list.
#pragma once

#include <wx/string.h>

#include <atomic>

#include "launcher/config/launcher_urls.h"
#include "launcher/system/road_environment.h"
#include "launcher/system/run_log.h"

class LauncherFrameWnd;

// Set when the thread body has finished (never cleared).
extern std::atomic<bool> g_bServerListDone;

// Fetches the list into `directory` + "ServerListTemp.xml" from
// serverListUrl1, else serverListUrl2 (when set), up to 10 passes over one
// curl handle, with the environment's short attempt pause between passes.
// An answer of more than 3 bytes that reads as a server list (plain or
// scrambled, root <velmor>) is copied over `directory` + "ServerList.xml"
// (true); anything else leaves the cached list alone. The temporary file is
// removed on both outcomes. `directory` ends in a separator. Gives up
// (false) once shut-down has asked the workers to stop.
bool DownLoadServerListFile(const LauncherUrls& urls, RunLogHandle& log, const wxString& directory,
                            RoadEnvironment& environment);

// Thread callback for MyThread; works on g_pFrame and ignores `userData`.
// Runs on SystemRoadEnvironment().
void ServerListThreadProc(void* userData);

// The thread's body on `environment`.
void RunServerListThread(RoadEnvironment& environment);
