// The server list's download: a fresh ServerList.xml fetched from the web
// into a temporary file and stored over the cached one when it reads as a
// server list. A failed download leaves the cached list.
#pragma once

#include <wx/string.h>

#include "launcher/config/launcher_urls.h"
#include "launcher/system/road_environment.h"
#include "launcher/system/run_log.h"
#include "platform/error.h"

// Fetches the list into `directory` + "ServerListTemp.xml" from
// serverListUrl1, else serverListUrl2 (when set), up to 10 passes over one
// curl handle, with the environment's short attempt pause between passes.
// An answer of more than 3 bytes that reads as a server list (plain or
// scrambled, root <velmor>) is copied over `directory` + "ServerList.xml"
// (true); anything else leaves the cached list alone. The temporary file is
// removed on both outcomes. `directory` ends in a separator. Gives up
// once shut-down has asked the workers to stop. A failure says why
// ("HTTP 404 from <url> (10 attempts)", "the list from <url> has 3 bytes,
// too few to be one").
platform::Status FetchServerList(const LauncherUrls& urls, RunLogHandle& log,
                                 const wxString& directory, RoadEnvironment& environment);

// FetchServerList, told as true or false.
bool DownLoadServerListFile(const LauncherUrls& urls, RunLogHandle& log, const wxString& directory,
                            RoadEnvironment& environment);
