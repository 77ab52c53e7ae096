// Applying the manifest: patch sets, file lists, the full installation and
// the library's own replacement.
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <wx/file.h>
#include <wx/filefn.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <utility>

#include "platform/name_in_any_case.h"
#include "tidewell/entry_path.h"
#include "tidewell/failure_cause.h"
#include "tidewell/live_patch_imp.h"
#include "tidewell/md5_file.h"
#include "tidewell/patch_host.h"
#include "tidewell/xml_document.h"
#include "tidewell/xml_names.h"

using tidewell::NameIs;
using tidewell::NameIsAnyCase;
using tidewell::ReadAttribute;

namespace {

constexpr char kDownloadErrorBox[] = "下载补丁发生错误";
constexpr char kListNodeErrorBox[] = "更新版本发生错误";

// Left free on the disk of every download.
constexpr uint64_t kDiskReserveBytes = 64u * 1024 * 1024;
// A stale `size` may be this far off before the body counts as endless.
constexpr uint64_t kSizeSlackBytes = 64u * 1024 * 1024;
// The bound of an entry without a size where the disk's free space cannot
// be had.
constexpr uint64_t kUnknownDiskBound = 4ull * 1024 * 1024 * 1024;

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

// A file entry's `size` is only a record: a stale one must not refuse a file
// whose digest matches. It still bounds a body that never ends, loosely,
// and no download may take the last kDiskReserveBytes of its disk, with a
// size or without one. Nullopt when the disk has no room to spare.
std::optional<uint64_t> TransferBound(const wxString& target, int32_t declaredSize) {
  uint64_t bound = kUnknownDiskBound;
  if (declaredSize > 0) {
    const uint64_t size = static_cast<uint64_t>(declaredSize);
    bound = std::max(2 * size, size + kSizeSlackBytes);
  }
  const wxString directory = target.Contains("/") ? target.BeforeLast('/') : wxString(".");
  struct statvfs disk {};
  if (statvfs(directory.empty() ? "/" : static_cast<const char*>(directory.utf8_str()), &disk) ==
      0) {
    const uint64_t free = static_cast<uint64_t>(disk.f_bavail) * disk.f_frsize;
    if (free <= kDiskReserveBytes) return std::nullopt;
    bound = std::min(bound, free - kDiskReserveBytes);
  }
  return bound;
}

// What a patch set names: among its children the last `files` URL, the last
// `version` value and the last `filedetails` entry count. Each caller has its
// own rule for spelling `files` and `version`; `filedetails` is matched in
// any case everywhere.
struct PatchSet {
  wxString url;
  wxString version;
  const wxXmlNode* entry = nullptr;
};

enum class Spelling { Exact, AnyCase };

PatchSet ReadPatchSet(const wxXmlNode* set, Spelling spelling, bool readVersion) {
  const auto named = [spelling](const wxXmlNode* node, const char* name) {
    return spelling == Spelling::AnyCase ? NameIsAnyCase(node, name) : NameIs(node, name);
  };
  PatchSet parts;
  for (const wxXmlNode* child = set->GetChildren(); child; child = child->GetNext()) {
    wxString value;
    if (named(child, "files")) {
      if (ReadAttribute(child, "url", &value)) parts.url = value;
    } else if (named(child, "version")) {
      if (readVersion && ReadAttribute(child, "value", &value)) parts.version = value;
    } else if (NameIsAnyCase(child, "filedetails")) {
      parts.entry = child;
    }
  }
  return parts;
}

// The set named in a cause: "patch set <version>", or "launcher patch set"
// (whose own version plays no part).
wxString SetName(const wxString& version, bool launcherSet) {
  if (launcherSet) return "launcher patch set";
  return "patch set " + version;
}

}  // namespace

bool CLivePatchImp::ApplyPatches(const wxString& installedVersion,
                                 const wxString& installedLauncherVersion) {
  return Kept(ApplyNeededSets(installedVersion, installedLauncherVersion));
}

platform::Status CLivePatchImp::ApplyNeededSets(const wxString& installedVersion,
                                                const wxString& installedLauncherVersion) {
  const wxXmlNode* root = manifest.GetRoot();
  if (!root) return platform::Status();

  if (installedVersion == "0.0") {
    if (platform::Status installed = InstallBase(installedLauncherVersion); !installed)
      return installed;
  } else {
    for (const wxXmlNode* node = root->GetChildren(); node; node = node->GetNext()) {
      const bool launcherSet = NameIsAnyCase(node, "Launcherpatch");
      // A launcher set's own version plays no part.
      const PatchSet set = ReadPatchSet(node, Spelling::AnyCase, !launcherSet);
      // Launcher sets follow the host's launcher version as it is now (the
      // host may move it on from inside a step call); ordinary sets follow
      // the client version of the last load, and a set the host has
      // recorded since (a retry after a later set failed) is not applied
      // again: its packages would be merged twice.
      const bool needed =
          launcherSet
              ? tidewell::VersionOrdersBefore(installedLauncherVersion, newestLauncherVersion)
              : !set.version.empty() && tidewell::VersionOrdersBefore(clientVersion, set.version) &&
                    tidewell::VersionOrdersBefore(installedVersion, set.version);
      if (!needed) continue;
      platform::Status applied = set.entry ? ApplySetEntry(set.entry, set.version, launcherSet)
                                           : ApplyFileList(set.url, set.version, launcherSet);
      if (!applied) return applied;
    }
  }
  tidewell::NotifyHost(*this, nullptr, 0, true, false);
  return platform::Status();
}

platform::Status CLivePatchImp::ApplyFileList(const wxString& url, const wxString& version,
                                              bool launcherSet) {
  if (url.empty()) return platform::Status();
  const wxString set = SetName(version, launcherSet);
  if (platform::Status fetched = FetchWorkFile(url); !fetched)
    return tidewell::Within(set, std::move(fetched));
  wxXmlDocument list;
  if (platform::Status read = tidewell::LoadXmlDocument(WorkFilePath(), list); !read)
    return tidewell::Within(set + ": file list from " + url, std::move(read));
  std::remove(WorkFilePath().utf8_str());

  for (const wxXmlNode* node = list.GetRoot()->GetChildren(); node; node = node->GetNext()) {
    if (node->GetType() == wxXML_ELEMENT_NODE && NameIs(node, "item")) {
      if (platform::Status fetched = DownloadFileEntry(node); !fetched) {
        ReportVersionError(version, kDownloadErrorBox);
        return tidewell::Within(set, std::move(fetched));
      }
    } else {
      ReportVersionError(version, kListNodeErrorBox);  // skipped; the list goes on
    }
  }
  currentVersion = version;
  tidewell::NotifyHost(*this, nullptr, 0, false, launcherSet);
  return platform::Status();
}

platform::Status CLivePatchImp::InstallBase(const wxString& installedLauncherVersion) {
  if (installedLauncherVersion != newestLauncherVersion) {
    if (platform::Status applied = ApplyLauncherSetForBase(); !applied) return applied;
  }

  // Found by its name (a comment before it is no reason to install nothing
  // and report success); without one there is no full installation to have.
  const wxXmlNode* base = tidewell::BaseSet(manifest.GetRoot());
  if (!base) return tidewell::Failure("the manifest has no base set to install from");
  const wxXmlNode* entry = tidewell::FirstElementChild(base);
  // A base set that names nothing cannot be installed.
  if (!entry) return tidewell::Failure("the manifest's base set names no file");
  if (NameIs(entry, "files")) {
    return ApplyFileList(tidewell::AttributeOrEmpty(entry, "url"), newestPatchVersion, false);
  }
  if (!NameIsAnyCase(entry, "filedetails"))
    return tidewell::Failure("the manifest's base set begins with neither files nor filedetails");
  return ApplySetEntry(entry, newestPatchVersion, false);
}

platform::Status CLivePatchImp::ApplyLauncherSetForBase() {
  const wxXmlNode* root = manifest.GetRoot();
  for (const wxXmlNode* node = root ? root->GetChildren() : nullptr; node; node = node->GetNext()) {
    if (!NameIsAnyCase(node, "Launcherpatch")) continue;
    const PatchSet set = ReadPatchSet(node, Spelling::Exact, true);
    if (set.version.empty() || set.version != newestLauncherVersion) continue;
    return set.entry ? ApplySetEntry(set.entry, set.version, true)
                     : ApplyFileList(set.url, set.version, true);
  }
  return platform::Status();
}

platform::Status CLivePatchImp::ApplySetEntry(const wxXmlNode* entry, const wxString& version,
                                              bool launcherSet) {
  if (platform::Status fetched = DownloadFileEntry(entry); !fetched) {
    ReportVersionError(version, kDownloadErrorBox);
    return tidewell::Within(SetName(version, launcherSet), std::move(fetched));
  }
  currentVersion = version;
  tidewell::NotifyHost(*this, nullptr, 0, false, launcherSet);
  return platform::Status();
}

platform::Status CLivePatchImp::DownloadFileEntry(const wxXmlNode* entry) {
  using tidewell::Failure;
  const wxString& libraryDirectory = libraryDirectory_;
  if (libraryDirectory.empty()) return Failure("the library's own directory is unknown");
  const wxString hash = tidewell::AttributeOrEmpty(entry, "hash");
  const wxString local = tidewell::ToNativePath(tidewell::AttributeOrEmpty(entry, "local"));
  const wxString name = tidewell::ToNativePath(tidewell::AttributeOrEmpty(entry, "name"));
  const wxString url = tidewell::AttributeOrEmpty(entry, "url");
  if (name.empty() || url.empty()) return Failure("a file entry without name or url");
  // The manifest is not trusted to write outside the directory it targets.
  if (!tidewell::StaysInsideDirectory(name) || !tidewell::StaysInsideDirectory(local))
    return Failure("file entry \"" + local + "\" \"" + name + "\" leaves the game directory");

  // A package named only ".upd" or ".tre" would be unpacked into the
  // directory it lies in, which is the filesystem's root for a bare name.
  if (local.empty() && (name == ".upd" || name == ".tre"))
    return Failure("file entry \"" + name + "\" names a package without a name");

  wxString size;
  int32_t declaredSize = 0;
  if (ReadAttribute(entry, "size", &size)) {
    lastFileSize = ParseSize(size);
    declaredSize = lastFileSize;
  }

  wxString target = name;
  if (!local.empty()) {
    // Manifests are made on Windows: "Data" is the installed "data", and
    // the file keeps its installed name whatever case the manifest spells.
    const std::string base = libraryDirectory.utf8_string();
    const std::string directory = base + platform::PathInAnyCase(base, local.utf8_string()) + "/";
    MakeDirectoryIfMissing(wxString::FromUTF8(directory));
    target = wxString::FromUTF8(directory + platform::PathInAnyCase(directory, name.utf8_string()));
  }
  // The installed file stays until its replacement is complete and
  // verified; only something that no file can replace fails at once.
  if (wxDirExists(target)) return Failure("a directory stands at " + target);
  const std::optional<uint64_t> maxBytes = TransferBound(target, declaredSize);
  if (!maxBytes) return Failure("no room left on the disk for " + target);

  const wxString fullUrl = url.Contains("http:") ? url : baseUrl + url;
  return DownloadAndVerify(fullUrl, target, hash, *maxBytes);
}

bool CLivePatchImp::UpdateSelf() { return Kept(ReplaceOwnFile()); }

platform::Status CLivePatchImp::ReplaceOwnFile() {
  using tidewell::Failure;
  const wxXmlNode* root = manifest.GetRoot();
  if (!root) return Failure("no manifest loaded");
  const wxXmlNode* self = root->GetChildren();
  while (self && !NameIs(self, "Tidewell")) self = self->GetNext();
  wxString hash;
  if (!self || !ReadAttribute(self, "hash", &hash))
    return Failure("the manifest names no library file with a hash");

  {
    wxFile ownFile(modulePath_, wxFile::read);
    if (tidewell::VerifyFileMd5(ownFile, hash)) return Failure("the library is current");
  }
  const wxString& libraryDirectory = libraryDirectory_;
  if (libraryDirectory.empty()) return Failure("the library's own directory is unknown");
  const wxString local = tidewell::ToNativePath(tidewell::AttributeOrEmpty(self, "local"));
  const wxString url = tidewell::AttributeOrEmpty(self, "url");
  if (local.empty() || url.empty() || !tidewell::StaysInsideDirectory(local))
    return Failure("the manifest's library entry names no place or URL inside the game");

  const size_t lastSeparator = local.find_last_of('/');
  if (lastSeparator != wxString::npos && lastSeparator > 0) {
    MakeDirectoryIfMissing(libraryDirectory + local.Left(lastSeparator));
  }
  const wxString target = libraryDirectory + local;
  // The running library is mapped from its file, so the new one must not be
  // written into that file; and a failed download must not leave the
  // installation without a library. The verified download fetches it beside
  // the old one and renames it over it only when complete and verified: the
  // rename gives the name to a new file and leaves the mapped one untouched.
  const std::optional<uint64_t> maxBytes = TransferBound(target, 0);
  if (!maxBytes) return Failure("no room left on the disk for " + target);
  return DownloadAndVerify(url, target, hash, *maxBytes);
}
