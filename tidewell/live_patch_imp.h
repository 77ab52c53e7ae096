// The update library's one implementation of the patch object. Its helper
// operations are public so that tests can reach them.
#pragma once

#include <wx/xml/xml.h>

#include "download/fetch_file.h"
#include "platform/file_replacement.h"
#include "tidewell/live_patch.h"

class CLivePatchImp : public CLivePatch {
 public:
  CLivePatchImp();
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

  // Before a repeated attempt: the host's pause; false when the library
  // should give up instead.
  bool PauseBeforeRetry();
  // The pace of the library's fetches: its transfer routine, with the host's
  // pause before every repeated attempt.
  FetchPace TransferPace();

  // Downloads `url` into the work file <library dir>/data/xxurlw/test.gps
  // (up to 10 attempts; at most kDocumentSizeLimit bytes). The caller parses
  // and then deletes it; a failed fetch leaves no work file.
  bool FetchWorkFile(const wxString& url);
  static wxString WorkFilePath();

  // Fetches the file list at `url` and every `item` in it, then makes the
  // step call for `version`.
  bool ApplyFileList(const wxString& url, const wxString& version, bool launcherSet);
  // The full installation from the manifest's `base` set.
  bool InstallBase(const wxString& installedLauncherVersion);
  // The launcher set whose version is the newest launcher version.
  bool ApplyLauncherSetForBase();
  // Fetches one `filedetails` or `item` entry to its target.
  bool DownloadFileEntry(const wxXmlNode* entry);
  // A set given by one `filedetails` entry: fetches it, then makes the step
  // call for `version`; a failure is reported for `version`.
  bool ApplySetEntry(const wxXmlNode* entry, const wxString& version, bool launcherSet);
  // Downloads `url` to `target` with the host's progress function, checks
  // the MD5 when `expectedHash` is not empty (a mismatch ends the process),
  // then makes the per-file status call. The transfer goes to a temporary
  // file beside the target, which takes the target's place (and keeps an
  // installed file's permission bits) only once it is complete and
  // verified; until then, and after any failure, the target is untouched
  // and no temporary file remains. The temporary file has a name no file
  // had before and is noted for the start-up clean-up (update_temporaries.h). A body over
  // `maxBytes` (when not 0) fails.
  bool DownloadAndVerify(const wxString& url, const wxString& target, const wxString& expectedHash,
                         uint64_t maxBytes = 0);

 private:
  // DownloadAndVerify's work once `download` has been begun beside the
  // target: the transfer into it, the check, and its placing.
  bool FetchAndVerify(const wxString& url, const wxString& target,
                      platform::FileReplacement& download, const wxString& expectedHash,
                      uint64_t maxBytes);
  void SetStatusText(const wxString& text);
  void NotifyStatus(const wchar_t* filePath, int32_t done, bool finished, bool launcherSet);
  // "更新版本<version>发生错误" into statusText, then a box with `boxText`.
  void ReportVersionError(const wxString& version, const char* boxText);

  wxString clientVersion;
  wxString currentVersion;
  wxString newestPatchVersion;
  int32_t lastFileSize = 0;
  wxXmlDocument manifest;
  wxString baseUrl;
  wxString newestLauncherVersion;
};
