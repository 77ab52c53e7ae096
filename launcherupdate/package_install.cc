#include "launcherupdate/package_install.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "download/update_temporaries.h"

namespace launcher_update {
namespace fs = std::filesystem;
namespace {

struct StagedFile {
  std::string staged;
  std::string target;
};

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Copies `source` to a new file beside `target`; the name of that file on
// success, "" with `error` set otherwise.
std::string Stage(const std::string& source, const std::string& target,
                  const std::string& ledgerDir, mode_t umaskBits, std::string& error) {
  const int in = open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  struct stat sourceInfo {};
  if (in < 0 || fstat(in, &sourceInfo) != 0) {
    error = SystemError("cannot read", source);
    if (in >= 0) close(in);
    return {};
  }
  // A file being replaced lends its permissions to the new one; a new file
  // takes the package's, without set-id or sticky bits from an archive.
  // Either way the user's umask applies: a package made on a shared disk
  // marks everything writable by all.
  struct stat targetInfo {};
  mode_t mode = sourceInfo.st_mode & 0777;
  if (lstat(target.c_str(), &targetInfo) == 0) {
    if (!S_ISREG(targetInfo.st_mode) && !S_ISLNK(targetInfo.st_mode)) {
      error = "not a file: " + target;
      close(in);
      return {};
    }
    if (S_ISREG(targetInfo.st_mode)) mode = targetInfo.st_mode & 07777;
  }
  mode &= ~umaskBits;
  std::string staged;
  const int out = CreateNotedTemporary(ledgerDir, target, kInstallTemporarySuffix, staged);
  if (out < 0) {
    error = SystemError("cannot create a copy beside", target);
    close(in);
    return {};
  }
  bool ok = true;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || (got > 0 && !WriteAll(out, buffer, static_cast<size_t>(got)))) ok = false;
    if (got <= 0) break;
  }
  if (!ok) error = SystemError("cannot copy", source);
  if (ok && (fchmod(out, mode) != 0 || fsync(out) != 0)) {
    error = SystemError("cannot finish", staged);
    ok = false;
  }
  close(in);
  if (close(out) != 0 && ok) {
    error = SystemError("cannot finish", staged);
    ok = false;
  }
  if (!ok) {
    unlink(staged.c_str());
    return {};
  }
  return staged;
}

void RemoveStaged(const std::vector<StagedFile>& staged, size_t from) {
  for (size_t i = from; i < staged.size(); ++i) unlink(staged[i].staged.c_str());
}

// The package's regular files, relative to its root, the updater left out;
// listed before anything is written, so staged files never join the walk.
bool ListPackageFiles(const fs::path& root, std::vector<fs::path>& files, std::string& why) {
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
       it.increment(error)) {
    const fs::file_status status = it->symlink_status(error);
    if (error) break;
    if (!fs::is_regular_file(status)) continue;  // directories come with their files
    const fs::path relative = it->path().lexically_relative(root);
    if (relative == relative.filename() && (EqualsIgnoringCase(relative.string(), kUpdaterName) ||
                                            relative.string() == kVersionNoteName))
      continue;
    files.push_back(relative);
  }
  if (error) why = "cannot read the package " + root.string() + ": " + error.message();
  return !error;
}

}  // namespace

InstallResult InstallPackage(const std::string& packageDir, const std::string& programDir) {
  InstallResult result;
  const fs::path root(packageDir);
  std::vector<fs::path> files;
  if (!ListPackageFiles(root, files, result.error)) return result;
  const mode_t umaskBits = umask(0);
  umask(umaskBits);
  std::vector<StagedFile> staged;
  for (const fs::path& relative : files) {
    const fs::path target = fs::path(programDir) / relative;
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    std::string stagedPath;
    if (error) {
      result.error =
          "cannot create the directory " + target.parent_path().string() + ": " + error.message();
    } else {
      stagedPath =
          Stage((root / relative).string(), target.string(), programDir, umaskBits, result.error);
    }
    if (stagedPath.empty()) {
      RemoveStaged(staged, 0);
      ForgetNotedTemporaries(programDir);
      return result;
    }
    staged.push_back({stagedPath, target.string()});
  }
  for (size_t i = 0; i < staged.size(); ++i) {
    if (rename(staged[i].staged.c_str(), staged[i].target.c_str()) != 0) {
      result.error = SystemError("cannot replace", staged[i].target);
      RemoveStaged(staged, i);
      ForgetNotedTemporaries(programDir);
      return result;
    }
    ++result.files;
  }
  ForgetNotedTemporaries(programDir);
  result.ok = true;
  return result;
}

}  // namespace launcher_update
