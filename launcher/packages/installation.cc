#include "launcher/packages/installation.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "launcher/packages/applied_packages.h"
#include "launcher/packages/del_list.h"
#include "launcher/packages/index_merge.h"
#include "launcher/packages/install_batch.h"
#include "launcher/packages/installed_names.h"
#include "launcher/packages/launcher_records.h"
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

std::string WithTrailingSeparator(std::string dir) {
  if (dir.empty() || dir.back() != platform::kPathSeparator) dir += platform::kPathSeparator;
  return dir;
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

// The name of an index's data file: the index's name up to its last ".".
std::string DataNameOf(const std::string& indexName) {
  const size_t dot = indexName.find_last_of('.');
  return dot == std::string::npos ? indexName : indexName.substr(0, dot);
}

// One package's walk: stages every entry into one batch, finding each
// target under its installed name in any letter case.
class PackageWalk {
 public:
  PackageWalk(const InstallTarget& install, const wxString& root, bool isTre,
              const InstallProgress& progress, const InstalledPackage& package)
      : install_(install),
        rootPrefix_(WithTrailingSeparator(root)),
        isTre_(isTre),
        progress_(progress),
        package_(package),
        // The unpacked package is deleted or unpacked afresh, never written
        // in place: its files may become the installed ones.
        batch_(install.programDir.utf8_string(), true),
        names_(install.log),
        merges_(install.programDir, package.version) {}

  // The installed directory that `dir` of the package stands for.
  std::string TargetDirectoryOf(const wxString& dir) {
    const std::string programDir = WithTrailingSeparator(install_.programDir.utf8_string());
    const wxString relative = RelativeOf(dir);
    return WithTrailingSeparator(names_.FindPath(programDir, relative.utf8_string()));
  }

  // Walks package directory `dir` into the installed directory `targetDir`.
  platform::Status Walk(const wxString& dir, const std::string& targetDir) {
    for (const wxString& name : ListDirectory(dir)) {
      // Shut-down stops the walk between files; nothing staged is installed.
      if (WorkerStopRequested()) return platform::Error{"stopped: the launcher is ending"};
      const wxString full = WithTrailingSeparator(dir) + name;
      if (NamesLauncherRecord(RelativeOf(full))) {
        CountEntry(full);
        RUNLOG_ERROR(install_.log, 2209, "package entry %s names a launcher record, skipped", full);
        continue;
      }
      const std::string installedName = names_.Find(targetDir, name.utf8_string());
      const std::string target = targetDir + installedName;
      if (platform::DirectoryExists(full.utf8_string())) {
        platform::Status staged;
        if (HasEntries(full) && platform::DirectoryExists(target)) {
          staged = Walk(full, WithTrailingSeparator(target));
        } else {
          CountEntry(full);
          staged = StageDirectory(full, targetDir, installedName);
        }
        if (!staged) return staged;
        continue;
      }
      if (platform::Status staged = StageFile(full, targetDir, installedName); !staged)
        return staged;
    }
    return platform::Status();
  }

  // The merges are recorded before any of them takes its place.
  platform::Status Commit() {
    if (!merges_.Record())
      return platform::Error{"cannot record the merges in " + install_.programDir.utf8_string()};
    return batch_.Commit();
  }

 private:
  wxString RelativeOf(const wxString& path) const {
    if (path.StartsWith(rootPrefix_)) return path.Mid(rootPrefix_.length());
    return WithTrailingSeparator(path) == rootPrefix_ ? wxString() : path.AfterLast('/');
  }

  // Adds the entry's size to the done count and shows the share of the total.
  void CountEntry(const wxString& path) {
    install_.doneBytes += QueryFileSize(path, install_.log);
    if (!progress_) return;
    // With no total there is nothing left to wait for.
    const double percent = install_.totalBytes == 0
                               ? 100.0
                               : static_cast<double>(install_.doneBytes) /
                                     static_cast<double>(install_.totalBytes) * 100.0;
    progress_(static_cast<float>(percent));
  }

  platform::Status StageFile(const wxString& full, const std::string& targetDir,
                             const std::string& installedName) {
    // The special names are told by the lower-cased path; the files
    // themselves keep their case.
    const wxString lower = full.Lower();
    RUNLOG_MESSAGE_TIGHT(install_.log, 2207, "process file is %s!", lower);
    CountEntry(full);
    if (lower.EndsWith(".i") && !isTre_) return StageMerge(full, lower, targetDir, installedName);
    if (lower.EndsWith(kSeparator + "login.dat")) return platform::Status();
    if (lower.EndsWith(kSeparator + "del.lst")) {
      const wxString programDir = install_.programDir;
      RunLogHandle* log = &install_.log;
      batch_.AddStep([programDir, log, full] {
        CarryOutDeleteList(programDir, *log, full);
        return true;
      });
      return platform::Status();
    }
    if (platform::Status staged = batch_.StageCopy(full.utf8_string(), targetDir + installedName);
        !staged)
      return staged;
    names_.Added(targetDir, installedName);
    return platform::Status();
  }

  // Stages the merge of the package's index `full` into its installed
  // counterpart, unless this package's merge of it is recorded as done.
  platform::Status StageMerge(const wxString& full, const wxString& lower,
                              const std::string& targetDir, const std::string& installedName) {
    const bool login = lower.EndsWith(kSeparator + "login.dat.i");
    const std::string target = targetDir + installedName;
    const std::string dataName = login ? names_.Find(targetDir, DataNameOf(installedName)) : "";
    const std::string data = login ? targetDir + dataName : std::string();
    const auto state = [&] {
      return MergeState(batch_.ContentOf(target), login ? batch_.ContentOf(data) : std::string());
    };
    const bool recorded = !package_.fingerprint.empty();
    const std::string merge = package_.fingerprint + "|" + RelativeOf(full).utf8_string();
    const std::string before = recorded ? state() : std::string();
    if (recorded && merges_.Done(merge, target, before)) return platform::Status();

    const wxString targetPath = wxString::FromUTF8(target);
    const platform::Status staged =
        login
            ? StageLoginDataMerge(batch_, install_.log, full, targetPath, wxString::FromUTF8(data))
            : StageIndexFileMerge(batch_, targetPath, full);
    if (!staged)
      return platform::Error{"merging " + full.utf8_string() + ": " + staged.error().message};
    names_.Added(targetDir, installedName);
    if (login) names_.Added(targetDir, dataName);
    if (recorded) merges_.Add(MergeRecord{target, before, state(), merge});
    return platform::Status();
  }

  // Copies directory `source` with everything in it into the batch, as
  // `name` in `targetDir`.
  platform::Status StageDirectory(const wxString& source, const std::string& targetDir,
                                  const std::string& name) {
    const std::string target = targetDir + name;
    if (mkdir(target.c_str(), 0777) == 0) {
      batch_.MadeDirectory(target);
      names_.Added(targetDir, name);
    } else if (errno != EEXIST || !platform::DirectoryExists(target)) {
      return platform::Error::FromErrno("cannot make the directory " + target,
                                        errno == EEXIST ? ENOTDIR : errno);
    }
    const std::string inside = WithTrailingSeparator(target);
    for (const wxString& entry : ListDirectory(source)) {
      const wxString sourceEntry = WithTrailingSeparator(source) + entry;
      const std::string entryName = entry.utf8_string();
      const platform::Status staged =
          platform::DirectoryExists(sourceEntry.utf8_string())
              ? StageDirectory(sourceEntry, inside, entryName)
              : batch_.StageCopy(sourceEntry.utf8_string(), inside + entryName);
      if (!staged) return staged;
    }
    return platform::Status();
  }

  const InstallTarget& install_;
  const wxString rootPrefix_;
  const bool isTre_;
  const InstallProgress& progress_;
  const InstalledPackage& package_;
  InstallBatch batch_;
  InstalledNames names_;
  AppliedMerges merges_;
};

}  // namespace

platform::Status InstallPackage(const InstallTarget& install, const wxString& dir,
                                const wxString& root, bool isTre, const InstallProgress& progress,
                                const InstalledPackage& package) {
  PackageWalk walk(install, root, isTre, progress, package);
  if (platform::Status walked = walk.Walk(dir, walk.TargetDirectoryOf(dir)); !walked) return walked;
  return walk.Commit();
}

bool InstallUpdateFiles(const InstallTarget& install, const wxString& dir, const wxString& root,
                        bool isTre, const InstallProgress& progress,
                        const InstalledPackage& package) {
  return InstallPackage(install, dir, root, isTre, progress, package).ok();
}
