#include "launcher/packages/installation.h"

#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "launcher/packages/applied_packages.h"
#include "launcher/packages/del_list.h"
#include "launcher/packages/index_merge.h"
#include "launcher/packages/install_batch.h"
#include "launcher/system/file_size.h"
#include "launcher/system/my_thread.h"
#include "launcher/system/run_log.h"
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
void CountEntry(const InstallTarget& install, const wxString& path,
                const InstallProgress& progress) {
  install.doneBytes += QueryFileSize(path, install.log);
  if (!progress) return;
  // With no total there is nothing left to wait for.
  const double percent = install.totalBytes == 0
                             ? 100.0
                             : static_cast<double>(install.doneBytes) /
                                   static_cast<double>(install.totalBytes) * 100.0;
  progress(static_cast<float>(percent));
}

// The package being installed, and the merges recorded as done for it.
struct KnownPackage {
  wxString version;
  std::string fingerprint;
  std::set<std::string> merged;
};

// The files a merge of the package's `full` index into `target` changes.
std::vector<std::string> MergedFiles(const wxString& full, const wxString& target) {
  std::vector<std::string> files{target.utf8_string()};
  if (full.Lower().EndsWith(kSeparator + "login.dat.i")) {
    files.push_back(target.BeforeLast('.').utf8_string());  // the installed login.dat
  }
  return files;
}

bool StageFile(const InstallTarget& install, InstallBatch& batch, const wxString& full,
               const wxString& target, bool isTre, const InstallProgress& progress,
               const KnownPackage& package) {
  // The special names are told by the lower-cased path; the files themselves
  // keep their case.
  const wxString lower = full.Lower();
  RUNLOG_MESSAGE_TIGHT(install.log, 2207, "process file is %s!", lower);
  CountEntry(install, full, progress);
  if (lower.EndsWith(".i") && !isTre) {
    // Merged in place when the batch is committed, in their turn.
    const bool login = lower.EndsWith(kSeparator + "login.dat.i");
    const wxString programDir = install.programDir;
    RunLogHandle* log = &install.log;
    const std::string done = package.fingerprint.empty()
                                 ? std::string()
                                 : package.fingerprint + "|" + target.utf8_string();
    const wxString version = package.version;
    const std::set<std::string>* merged = &package.merged;
    batch.AddStep(
        [programDir, log, login, full, target, done, version, merged] {
          if (!done.empty() && merged->count(done) > 0) return true;
          const bool ok = login ? MergeLoginData(full, *log, target) : MergeIndexFile(target, full);
          if (ok && !done.empty()) RecordApplied(programDir, version, done);
          return ok;
        },
        MergedFiles(full, target));
    return true;
  }
  if (lower.EndsWith(kSeparator + "login.dat")) return true;
  if (lower.EndsWith(kSeparator + "del.lst")) {
    const wxString programDir = install.programDir;
    RunLogHandle* log = &install.log;
    batch.AddStep([programDir, log, full] {
      CarryOutDeleteList(programDir, *log, full);
      return true;
    });
    return true;
  }
  return batch.StageCopy(full.utf8_string(), target.utf8_string());
}

// Copies directory `source` with everything in it into the batch.
bool StageDirectory(InstallBatch& batch, const wxString& source, const wxString& target) {
  const std::string from = source.utf8_string();
  const std::string to = target.utf8_string();
  if (!platform::DirectoryExists(from)) return false;
  std::error_code error;
  fs::create_directories(to, error);
  if (!platform::DirectoryExists(to)) return false;
  for (const wxString& name : ListDirectory(source)) {
    const wxString sourceEntry = WithTrailingSeparator(source) + name;
    const wxString targetEntry = WithTrailingSeparator(target) + name;
    const bool staged = platform::DirectoryExists(sourceEntry.utf8_string())
                            ? StageDirectory(batch, sourceEntry, targetEntry)
                            : batch.StageCopy(sourceEntry.utf8_string(), targetEntry.utf8_string());
    if (!staged) return false;
  }
  return true;
}

bool Walk(const InstallTarget& install, InstallBatch& batch, const wxString& dir,
          const wxString& root, bool isTre, const InstallProgress& progress,
          const KnownPackage& package) {
  const wxString rootPrefix = WithTrailingSeparator(root);
  for (const wxString& name : ListDirectory(dir)) {
    // Shut-down stops the walk between files; nothing staged is installed.
    if (WorkerStopRequested()) return false;
    const wxString full = WithTrailingSeparator(dir) + name;
    const wxString relative = full.StartsWith(rootPrefix) ? full.Mid(rootPrefix.length()) : name;
    const wxString target = install.programDir + relative;
    if (platform::DirectoryExists(full.utf8_string())) {
      if (HasEntries(full) && platform::DirectoryExists(target.utf8_string())) {
        if (!Walk(install, batch, full, root, isTre, progress, package)) return false;
      } else {
        CountEntry(install, full, progress);
        if (!StageDirectory(batch, full, target)) return false;
      }
      continue;
    }
    if (!StageFile(install, batch, full, target, isTre, progress, package)) return false;
  }
  return true;
}

}  // namespace

bool InstallUpdateFiles(const InstallTarget& install, const wxString& dir, const wxString& root,
                        bool isTre, const InstallProgress& progress,
                        const InstalledPackage& package) {
  // What was merged for this package before, read once for all its merges.
  KnownPackage known{package.version, package.fingerprint, {}};
  if (!known.fingerprint.empty())
    known.merged = AppliedFingerprints(install.programDir, known.version);
  // The unpacked package is deleted or unpacked afresh, never written in
  // place: its files may become the installed ones.
  InstallBatch batch(install.programDir.utf8_string(), true);
  if (!Walk(install, batch, dir, root, isTre, progress, known)) return false;
  return batch.Commit();
}
