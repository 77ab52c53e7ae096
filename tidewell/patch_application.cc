// Applying the manifest: patch sets, file lists, the full installation and
// the library's own replacement.
#include <sys/stat.h>
#include <unistd.h>
#include <wx/file.h>
#include <wx/filefn.h>

#include <climits>
#include <cstdio>
#include <cwchar>

#include "tidewell/entry_path.h"
#include "tidewell/library_directory.h"
#include "tidewell/live_patch_imp.h"
#include "tidewell/md5_file.h"
#include "tidewell/xml_names.h"

using tidewell::NameIs;
using tidewell::NameIsAnyCase;
using tidewell::ReadAttribute;

namespace {

constexpr char kDownloadErrorBox[] = "下载补丁发生错误";
constexpr char kListNodeErrorBox[] = "更新版本发生错误";
// Appended to the library's file name while its replacement is fetched.
constexpr char kSelfUpdateSuffix[] = ".download";

void MakeDirectoryIfMissing(const wxString& directory) {
  if (!wxDirExists(directory)) wxMkdir(directory);
}

// wcstol's reading of a decimal count, kept within 32 bits.
int32_t ParseSize(const wxString& text) {
  const long value = std::wcstol(text.wc_str(), nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// Removes an existing file so that a fresh one takes its place; a read-only
// file is made writable first. False when something is there that cannot
// be removed (a directory, or no permission).
bool RemoveExistingFile(const wxString& path) {
  const wxCharBuffer narrow = path.utf8_str();
  struct stat info {};
  if (lstat(narrow, &info) != 0) return true;
  if (S_ISDIR(info.st_mode)) return false;
  if (S_ISREG(info.st_mode) && !(info.st_mode & S_IWUSR)) chmod(narrow, info.st_mode | S_IWUSR);
  return unlink(narrow) == 0;
}

}  // namespace

bool CLivePatchImp::ApplyPatches(const wxString& installedVersion,
                                 const wxString& installedLauncherVersion) {
  const wxXmlNode* root = manifest.GetRoot();
  if (!root) return true;

  if (installedVersion == "0.0") {
    if (!InstallBase(installedLauncherVersion)) return false;
  } else {
    for (const wxXmlNode* set = root->GetChildren(); set; set = set->GetNext()) {
      wxString url, version;
      const wxXmlNode* entry = nullptr;
      const bool launcherSet = NameIsAnyCase(set, "Launcherpatch");
      for (const wxXmlNode* child = set->GetChildren(); child; child = child->GetNext()) {
        wxString value;
        if (NameIsAnyCase(child, "files")) {
          if (ReadAttribute(child, "url", &value)) url = value;
        } else if (NameIsAnyCase(child, "version")) {
          if (!launcherSet && ReadAttribute(child, "value", &value)) version = value;
        } else if (NameIsAnyCase(child, "filedetails")) {
          entry = child;
        }
      }
      // Launcher sets follow the host's launcher version as it is now (the
      // host may move it on from inside a step call); ordinary sets follow
      // the client version of the last load, and a set the host has
      // recorded since (a retry after a later set failed) is not applied
      // again: its packages would be merged twice.
      const bool needed =
          launcherSet ? tidewell::VersionOrdersBefore(installedLauncherVersion, newestLauncherVersion)
                      : !version.empty() && tidewell::VersionOrdersBefore(clientVersion, version) &&
                            tidewell::VersionOrdersBefore(installedVersion, version);
      if (!needed) continue;
      if (entry) {
        if (!DownloadFileEntry(entry)) {
          ReportVersionError(version, kDownloadErrorBox);
          return false;
        }
        currentVersion = version;
        NotifyStatus(nullptr, 0, false, launcherSet);
      } else if (!ApplyFileList(url, version, launcherSet)) {
        return false;
      }
    }
  }
  NotifyStatus(nullptr, 0, true, false);
  return true;
}

bool CLivePatchImp::ApplyFileList(const wxString& url, const wxString& version, bool launcherSet) {
  if (url.empty()) return true;
  if (!FetchWorkFile(url)) return false;
  wxXmlDocument list;
  if (!list.Load(WorkFilePath(), "UTF-8") || !list.GetRoot()) return false;
  std::remove(WorkFilePath().utf8_str());

  for (const wxXmlNode* node = list.GetRoot()->GetChildren(); node; node = node->GetNext()) {
    if (node->GetType() == wxXML_ELEMENT_NODE && NameIs(node, "item")) {
      if (!DownloadFileEntry(node)) {
        ReportVersionError(version, kDownloadErrorBox);
        return false;
      }
    } else {
      ReportVersionError(version, kListNodeErrorBox);  // skipped; the list goes on
    }
  }
  currentVersion = version;
  NotifyStatus(nullptr, 0, false, launcherSet);
  return true;
}

bool CLivePatchImp::InstallBase(const wxString& installedLauncherVersion) {
  if (installedLauncherVersion != newestLauncherVersion && !ApplyLauncherSetForBase()) return false;

  const wxXmlNode* base = manifest.GetRoot() ? manifest.GetRoot()->GetChildren() : nullptr;
  if (!base || !NameIs(base, "base")) return true;
  const wxXmlNode* entry = base->GetChildren();
  if (!entry) return false;  // a base set that names nothing cannot be installed
  if (NameIs(entry, "files")) {
    return ApplyFileList(tidewell::AttributeOrEmpty(entry, "url"), newestPatchVersion, false);
  }
  if (!NameIsAnyCase(entry, "filedetails")) return false;
  if (!DownloadFileEntry(entry)) {
    ReportVersionError(newestPatchVersion, kDownloadErrorBox);
    return false;
  }
  currentVersion = newestPatchVersion;
  NotifyStatus(nullptr, 0, false, false);
  return true;
}

bool CLivePatchImp::ApplyLauncherSetForBase() {
  const wxXmlNode* root = manifest.GetRoot();
  for (const wxXmlNode* set = root ? root->GetChildren() : nullptr; set; set = set->GetNext()) {
    if (!NameIsAnyCase(set, "Launcherpatch")) continue;
    wxString url, version;
    const wxXmlNode* entry = nullptr;
    for (const wxXmlNode* child = set->GetChildren(); child; child = child->GetNext()) {
      wxString value;
      if (NameIs(child, "files")) {
        if (ReadAttribute(child, "url", &value)) url = value;
      } else if (NameIs(child, "version")) {
        if (ReadAttribute(child, "value", &value)) version = value;
      } else if (NameIsAnyCase(child, "filedetails")) {
        entry = child;
      }
    }
    if (version.empty() || version != newestLauncherVersion) continue;
    if (entry) {
      if (!DownloadFileEntry(entry)) {
        ReportVersionError(version, kDownloadErrorBox);
        return false;
      }
      currentVersion = version;
      NotifyStatus(nullptr, 0, false, true);
    } else if (!ApplyFileList(url, version, true)) {
      return false;
    }
    return true;
  }
  return true;
}

bool CLivePatchImp::DownloadFileEntry(const wxXmlNode* entry) {
  const wxString libraryDirectory = tidewell::LibraryDirectory();
  if (libraryDirectory.empty()) return false;
  const wxString hash = tidewell::AttributeOrEmpty(entry, "hash");
  const wxString local = tidewell::ToNativePath(tidewell::AttributeOrEmpty(entry, "local"));
  const wxString name = tidewell::ToNativePath(tidewell::AttributeOrEmpty(entry, "name"));
  const wxString url = tidewell::AttributeOrEmpty(entry, "url");
  if (name.empty() || url.empty()) return false;
  // The manifest is not trusted to write outside the directory it targets.
  if (!tidewell::StaysInsideDirectory(name) || !tidewell::StaysInsideDirectory(local)) return false;

  // A package named only ".upd" or ".tre" would be unpacked into the
  // directory it lies in, which is the filesystem's root for a bare name.
  if (local.empty() && (name == ".upd" || name == ".tre")) return false;

  wxString size;
  uint64_t maxBytes = 0;
  if (ReadAttribute(entry, "size", &size)) {
    lastFileSize = ParseSize(size);
    // The manifest's size bounds the transfer (a size that is no positive
    // count bounds nothing).
    if (lastFileSize > 0) maxBytes = static_cast<uint64_t>(lastFileSize);
  }

  wxString target = name;
  if (!local.empty()) {
    const wxString directory = libraryDirectory + local;
    MakeDirectoryIfMissing(directory);
    target = directory + "/" + name;
  }
  // The installed file stays until its replacement is complete and
  // verified; only something that no file can replace fails at once.
  if (wxDirExists(target)) return false;

  const wxString fullUrl = url.Contains("http:") ? url : baseUrl + url;
  return DownloadAndVerify(fullUrl, target, hash, maxBytes);
}

bool CLivePatchImp::UpdateSelf() {
  const wxXmlNode* root = manifest.GetRoot();
  if (!root) return false;
  const wxXmlNode* self = root->GetChildren();
  while (self && !NameIs(self, "Tidewell")) self = self->GetNext();
  wxString hash;
  if (!self || !ReadAttribute(self, "hash", &hash)) return false;

  {
    wxFile ownFile(tidewell::ModulePath(), wxFile::read);
    if (tidewell::VerifyFileMd5(ownFile, hash)) return false;  // already current
  }
  const wxString libraryDirectory = tidewell::LibraryDirectory();
  if (libraryDirectory.empty()) return false;
  const wxString local = tidewell::ToNativePath(tidewell::AttributeOrEmpty(self, "local"));
  const wxString url = tidewell::AttributeOrEmpty(self, "url");
  if (local.empty() || url.empty() || !tidewell::StaysInsideDirectory(local)) return false;

  const size_t lastSeparator = local.find_last_of('/');
  if (lastSeparator != wxString::npos && lastSeparator > 0) {
    MakeDirectoryIfMissing(libraryDirectory + local.Left(lastSeparator));
  }
  const wxString target = libraryDirectory + local;
  // The running library is mapped from its file, so the new one must not be
  // written into that file; and a failed download must not leave the
  // installation without a library. The new file is fetched beside the old
  // one and renamed over it only when complete and verified: the rename
  // gives the name to a new file and leaves the mapped one untouched.
  const wxString download = target + kSelfUpdateSuffix;
  if (!RemoveExistingFile(download)) return false;
  if (DownloadAndVerifyVia(url, target, download, hash)) return true;
  std::remove(download.utf8_str());
  return false;
}
