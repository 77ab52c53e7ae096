// The update library's one implementation of the patch object. Everything
// beyond the interface's operations is its own; what it takes from the
// world comes from the host's public members and from the library's file,
// whose path it is built with.
#pragma once

#include <wx/string.h>
#include <wx/xml/xml.h>

#include <cstdint>

#include "platform/error.h"
#include "tidewell/live_patch.h"

class CLivePatchImp : public CLivePatch {
 public:
  // `modulePath` is the library's own file (tidewell::ModulePath() for the
  // library's object): every local path is built from its directory.
  explicit CLivePatchImp(wxString modulePath);
  ~CLivePatchImp() override;

  bool UpdateSelf() override;
  bool LoadManifest(const wchar_t* url, const wchar_t* clientVersion) override;
  bool ApplyPatches(const wxString& installedVersion,
                    const wxString& installedLauncherVersion) override;
  wxString GetCurrentVersion() override { return currentVersion; }
  wxString GetPatchVersion() override { return newestPatchVersion; }
  wxString GetLauncherVersion() override { return newestLauncherVersion; }
  int32_t GetFileSize() override { return lastFileSize; }
  void ReleaseManifest() override;
  wxString GetFailureCause() override { return failureCause_; }

 private:
  // The work of the three operations; each failure carries its cause.
  platform::Status ReadManifest(const wxString& url, const wxString& client);
  platform::Status ApplyNeededSets(const wxString& installedVersion,
                                   const wxString& installedLauncherVersion);
  platform::Status ReplaceOwnFile();
  // Keeps the cause of a failed `status` for GetFailureCause; its verdict.
  bool Kept(const platform::Status& status);

  // Downloads `url` into the work file <library dir>/data/xxurlw/test.gps
  // (up to 10 attempts; at most kDocumentSizeLimit bytes). The caller parses
  // and then deletes it; a failed fetch leaves no work file.
  platform::Status FetchWorkFile(const wxString& url);
  wxString WorkFilePath() const;

  // Fetches the file list at `url` and every `item` in it, then makes the
  // step call for `version`.
  platform::Status ApplyFileList(const wxString& url, const wxString& version, bool launcherSet);
  // The full installation from the manifest's `base` set.
  platform::Status InstallBase(const wxString& installedLauncherVersion);
  // The launcher set whose version is the newest launcher version.
  platform::Status ApplyLauncherSetForBase();
  // Fetches one `filedetails` or `item` entry to its target.
  platform::Status DownloadFileEntry(const wxXmlNode* entry);
  // A set given by one `filedetails` entry: fetches it, then makes the step
  // call for `version`; a failure is reported for `version`.
  platform::Status ApplySetEntry(const wxXmlNode* entry, const wxString& version, bool launcherSet);
  // One verified patch file (tidewell/verified_download.h), noted for the
  // start-up clean-up in the library directory.
  platform::Status DownloadAndVerify(const wxString& url, const wxString& target,
                                     const wxString& expectedHash, uint64_t maxBytes = 0);
  // "更新版本<version>发生错误" into statusText, then a box with `boxText`.
  void ReportVersionError(const wxString& version, const char* boxText);

  const wxString modulePath_;
  const wxString libraryDirectory_;  // empty when the path has no directory

  wxString clientVersion;
  wxString currentVersion;
  wxString newestPatchVersion;
  int32_t lastFileSize = 0;
  wxXmlDocument manifest;
  wxString baseUrl;
  wxString newestLauncherVersion;
  wxString failureCause_;  // of the last operation; empty after a success
};
