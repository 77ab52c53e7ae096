#include "launcher/installation.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "launcher/del_list.h"
#include "launcher/file_replace.h"
#include "launcher/file_size.h"
#include "launcher/index_merge.h"
#include "launcher/launcher_frame_wnd.h"
#include "launcher/run_log.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

const wxString kSeparator(platform::kPathSeparator);

wxString WithTrailingSeparator(const wxString& dir) {
  return dir.EndsWith(kSeparator) ? dir : dir + kSeparator;
}

// The names in `dir`, hidden ones included, in the order of the listing;
// none when it cannot be listed.
std::vector<wxString> ListDirectory(const wxString& dir) {
  std::vector<wxString> names;
  std::error_code error;
  for (fs::directory_iterator it(dir.utf8_string(), error), end; !error && it != end;
       it.increment(error)) {
    names.push_back(wxString::FromUTF8(it->path().filename().string()));
  }
  return names;
}

bool HasEntries(const wxString& dir) {
  std::error_code error;
  fs::directory_iterator it(dir.utf8_string(), error);
  return !error && it != fs::directory_iterator();
}

// Adds the entry's size to the done count and shows the share of the total.
void CountEntry(LauncherFrameWnd& frame, const wxString& path, const InstallProgress& progress) {
  frame.installDoneBytes += QueryFileSize(path, frame);
  if (!progress) return;
  // With no total there is nothing left to wait for.
  const double percent = frame.installTotalBytes == 0
                             ? 100.0
                             : static_cast<double>(frame.installDoneBytes) /
                                   static_cast<double>(frame.installTotalBytes) * 100.0;
  progress(static_cast<float>(percent));
}

bool InstallFile(LauncherFrameWnd& frame, const wxString& full, const wxString& target, bool isTre,
                 const InstallProgress& progress) {
  // The special names are told by the lower-cased path; the files themselves
  // keep their case.
  const wxString lower = full.Lower();
  RUNLOG_MESSAGE_TIGHT(frame, 2207, "process file is %s!", lower);
  if (lower.EndsWith(".i") && !isTre) {
    CountEntry(frame, full, progress);
    if (lower.EndsWith(kSeparator + "login.dat.i")) return MergeLoginData(full, frame, target);
    return MergeIndexFile(target, full);
  }
  if (lower.EndsWith(kSeparator + "login.dat")) {
    CountEntry(frame, full, progress);
    return true;
  }
  if (lower.EndsWith(kSeparator + "del.lst")) {
    CountEntry(frame, full, progress);
    CarryOutDeleteList(frame, full);
    return true;
  }
  CountEntry(frame, full, progress);
  return CopyFileReplacing(full, target);
}

}  // namespace

bool InstallUpdateFiles(LauncherFrameWnd& frame, const wxString& dir, const wxString& root,
                        bool isTre, const InstallProgress& progress) {
  const wxString rootPrefix = WithTrailingSeparator(root);
  for (const wxString& name : ListDirectory(dir)) {
    const wxString full = WithTrailingSeparator(dir) + name;
    const wxString relative = full.StartsWith(rootPrefix) ? full.Mid(rootPrefix.length()) : name;
    const wxString target = frame.programDir + relative;
    if (platform::DirectoryExists(full.utf8_string())) {
      if (HasEntries(full) && platform::DirectoryExists(target.utf8_string())) {
        if (!InstallUpdateFiles(frame, full, root, isTre, progress)) return false;
      } else {
        CountEntry(frame, full, progress);
        if (!CopyDirectory(full, target)) return false;
      }
      continue;
    }
    if (!InstallFile(frame, full, target, isTre, progress)) return false;
  }
  return true;
}

bool CopyDirectory(const wxString& source, const wxString& target) {
  const std::string from = source.utf8_string();
  const std::string to = target.utf8_string();
  if (!platform::DirectoryExists(from)) return false;
  std::error_code error;
  fs::create_directories(to, error);
  if (!platform::DirectoryExists(to)) return false;
  for (const wxString& name : ListDirectory(source)) {
    const wxString sourceEntry = WithTrailingSeparator(source) + name;
    const wxString targetEntry = WithTrailingSeparator(target) + name;
    const bool copied = platform::DirectoryExists(sourceEntry.utf8_string())
                            ? CopyDirectory(sourceEntry, targetEntry)
                            : CopyFileReplacing(sourceEntry, targetEntry);
    if (!copied) return false;
  }
  return true;
}
