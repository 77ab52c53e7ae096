// libcurl marks the progress-function option deprecated; DownloadFile takes
// its progress functions in that form.
#define CURL_DISABLE_DEPRECATION 1

#include "launcher/serverlist/server_list_download.h"

#include <wx/filefn.h>

#include "download/fetch_file.h"
#include "launcher/serverlist/server_list.h"
#include "launcher/system/file_replace.h"
#include "launcher/system/file_size.h"
#include "launcher/system/my_thread.h"
#include "platform/name_in_any_case.h"

namespace {

// A list must be longer than this to replace the cached one.
constexpr uint32_t kMinListBytes = 3;
constexpr char kTemporaryName[] = "ServerListTemp.xml";

// Installed on every attempt so that a transfer that hangs after connecting
// ends soon after shut-down has begun; it never ends a transfer otherwise.
int AbortWhenStopping(void* /*user*/, double /*dlTotal*/, double /*dlNow*/, double /*ulTotal*/,
                      double /*ulNow*/) {
  return WorkerStopRequested() ? 1 : 0;
}

FetchResult FetchIntoTemporary(const LauncherUrls& urls, const wxString& tmpPath,
                               RoadEnvironment& environment) {
  FetchRequest request;
  request.url = urls.serverListUrl1;  // tried even when empty
  request.secondUrl = urls.serverListUrl2;
  request.path = tmpPath;
  request.progress = &AbortWhenStopping;
  request.maxBytes = kDocumentSizeLimit;
  request.stallTimeoutSeconds = environment.Pace().stallTimeoutSeconds;
  FetchPace pace;
  // A failed round is repeated after a short pause, not at once.
  pace.pauseBeforeRound = [&environment] {
    return environment.Pause(environment.Pace().attemptPause);
  };
  pace.transfer = environment.Transfer();
  pace.stopRequested = [&environment] { return environment.StopRequested(); };
  return FetchFile(request, pace);
}

// Why a fetched list is not taken: too short, or not a server list.
platform::Error NotAList(const wxString& from, const wxString& what) {
  return platform::Error{("the list from " + from + " " + what).utf8_string()};
}

}  // namespace

platform::Status FetchServerList(const LauncherUrls& urls, RunLogHandle& log,
                                 const wxString& directory, RoadEnvironment& environment) {
  const wxString listPath = directory + wxString::FromUTF8(platform::NameInAnyCase(
                                            directory.utf8_string(), "ServerList.xml"));
  const wxString tmpPath = directory + kTemporaryName;

  const FetchResult fetched = FetchIntoTemporary(urls, tmpPath, environment);
  // Asked whether or not an attempt succeeded (a missing file logs a line).
  const uint32_t size = QueryFileSize(tmpPath, log);
  const bool exists = wxFileExists(tmpPath);
  // An error page answered with 200, a compressed body or a broken document
  // must not take the place of a good cached list.
  platform::Status taken;
  if (!fetched) {
    taken = platform::Error{fetched.cause.utf8_string()};
  } else if (!exists) {
    taken = NotAList(fetched.from, "was not kept in " + tmpPath);
  } else if (size <= kMinListBytes) {
    taken = NotAList(fetched.from, wxString::Format("has %u bytes, too few to be one", size));
  } else {
    const ServerListRead read = ReadServerListFileIn(directory, kTemporaryName).outcome;
    if (read == ServerListRead::kFailed) {
      taken = NotAList(fetched.from, "is no XML document, plain or scrambled");
    } else if (read == ServerListRead::kOtherRoot) {
      taken = NotAList(fetched.from, "has another root than <velmor>");
    }
  }
  if (taken) {
    // Replaced whole or not at all: a copy that does not fit (a full disk)
    // leaves the old list, never a cut one.
    CopyFileReplacing(tmpPath, listPath);
    wxRemoveFile(tmpPath);
    return taken;
  }
  if (exists) wxRemoveFile(tmpPath);
  return taken;
}

bool DownLoadServerListFile(const LauncherUrls& urls, RunLogHandle& log, const wxString& directory,
                            RoadEnvironment& environment) {
  return FetchServerList(urls, log, directory, environment).ok();
}
