// The update manifest: fetching it through the work file, recording the
// newest versions it names, and releasing it.
#include <wx/filefn.h>

#include <cstdio>

#include "download/fetch_file.h"
#include "tidewell/failure_cause.h"
#include "tidewell/live_patch_imp.h"
#include "tidewell/patch_host.h"
#include "tidewell/xml_document.h"
#include "tidewell/xml_names.h"

namespace {

void MakeDirectoryIfMissing(const wxString& directory) {
  if (!wxDirExists(directory)) wxMkdir(directory);
}

}  // namespace

wxString CLivePatchImp::WorkFilePath() const { return libraryDirectory_ + "data/xxurlw/test.gps"; }

platform::Status CLivePatchImp::FetchWorkFile(const wxString& url) {
  // One level at a time; a directory that cannot be made shows up as a
  // download that cannot open its file. (Dot-less names are not hidden here;
  // the Windows hidden attribute has no counterpart.)
  MakeDirectoryIfMissing(libraryDirectory_ + "data");
  MakeDirectoryIfMissing(libraryDirectory_ + "data/xxurlw");
  const wxString file = WorkFilePath();
  FetchRequest request;
  request.url = url;
  request.path = file;
  request.maxBytes = kDocumentSizeLimit;
  const FetchResult fetched = FetchFile(request, tidewell::HostFetchPace(*this));
  if (fetched) return platform::Status();
  // What a failed or refused fetch wrote must not stay on disk.
  std::remove(file.utf8_str());
  return tidewell::Failure(fetched.cause);
}

bool CLivePatchImp::LoadManifest(const wchar_t* url, const wchar_t* clientVersionText) {
  const wxString urlText = url ? wxString(url) : wxString();
  const size_t lastSlash = urlText.find_last_of('/');
  baseUrl = lastSlash == wxString::npos ? wxString() : urlText.Left(lastSlash + 1);
  return Kept(ReadManifest(urlText, clientVersionText ? wxString(clientVersionText) : wxString()));
}

platform::Status CLivePatchImp::ReadManifest(const wxString& urlText, const wxString& client) {
  if (urlText.empty()) return tidewell::Failure("no manifest URL");
  if (platform::Status fetched = FetchWorkFile(urlText); !fetched) return fetched;

  // A broken manifest leaves the previous one usable.
  wxXmlDocument parsed;
  const platform::Status read = tidewell::LoadXmlDocument(WorkFilePath(), parsed);
  if (!read) return tidewell::Within("manifest from " + urlText, read);
  std::remove(WorkFilePath().utf8_str());
  // A first installation comes from the base set: a manifest without one
  // has nothing to install, and the host must not empty its data for it.
  if (client == "0.0" && !tidewell::BaseSet(parsed.GetRoot()))
    return tidewell::Failure("manifest from " + urlText + " has no base set to install from");
  manifest.SetRoot(parsed.DetachRoot());  // frees the previous tree; no copy

  clientVersion = client;
  currentVersion = clientVersion;

  // The sets are listed oldest first, so the last version given wins.
  wxString newestPatch;
  for (const wxXmlNode* set = manifest.GetRoot()->GetChildren(); set; set = set->GetNext()) {
    const bool ordinary = tidewell::NameIsAnyCase(set, "patch");
    if (!ordinary && !tidewell::NameIsAnyCase(set, "Launcherpatch")) continue;
    const wxXmlNode* version = set->GetChildren();
    while (version && !(ordinary ? tidewell::NameIs(version, "version")
                                 : tidewell::NameIsAnyCase(version, "version"))) {
      version = version->GetNext();
    }
    wxString value;
    if (!tidewell::ReadAttribute(version, "value", &value)) continue;
    if (ordinary) {
      newestPatch = value;
    } else {
      newestLauncherVersion = value;  // kept from an earlier load when none is named
    }
  }
  newestPatchVersion = newestPatch;
  return platform::Status();
}

void CLivePatchImp::ReleaseManifest() {
  if (manifest.GetRoot()) delete manifest.DetachRoot();
}
