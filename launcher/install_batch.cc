#include "launcher/install_batch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

#include "launcher/file_descriptor.h"

namespace fs = std::filesystem;

namespace {

// What the update library's downloads end in while they are fetched.
constexpr char kDownloadPartSuffix[] = ".download";

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool CopyContent(int from, int to) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(from, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!WriteAll(to, buffer, static_cast<size_t>(got))) return false;
  }
}

bool SyncPath(const std::string& path, int flags) {
  FileDescriptor fd(open(path.c_str(), flags | O_CLOEXEC));
  return fd.ok() && fsync(fd.get()) == 0;
}

}  // namespace

InstallBatch::InstallBatch(std::string root) : root_(std::move(root)) {
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

InstallBatch::~InstallBatch() {
  if (committed_) return;
  for (const Step& step : steps_) {
    if (!step.temporary.empty()) unlink(step.temporary.c_str());
  }
}

bool InstallBatch::StageCopy(const std::string& source, const std::string& target) {
  struct stat installed {};
  const bool replaces = stat(target.c_str(), &installed) == 0;
  if (replaces && !S_ISREG(installed.st_mode)) return false;
  // An installed read-only file is not replaced (the process may run with
  // rights that would ignore the permission bits).
  if (replaces && !(installed.st_mode & S_IWUSR)) return false;

  FileDescriptor in(open(source.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (!in.ok() || fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;

  const std::string temporary = target + kInstallPartSuffix;
  FileDescriptor out(open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (!out.ok()) return false;
  const mode_t mode = (replaces ? installed.st_mode : info.st_mode) & 07777;
  bool ok = CopyContent(in.get(), out.get()) && fchmod(out.get(), mode) == 0;
  ok = out.Close() && ok;
  if (!ok) {
    unlink(temporary.c_str());
    return false;
  }
  steps_.push_back(Step{temporary, target, nullptr, {}});
  return true;
}

void InstallBatch::AddStep(std::function<bool()> step, std::vector<std::string> touched) {
  steps_.push_back(Step{{}, {}, std::move(step), std::move(touched)});
}

void InstallBatch::NoteDirectoriesOf(const std::string& path) {
  // Every level up to the root: a directory made for this batch needs its
  // own entry in its parent made durable too.
  std::string dir = path;
  for (;;) {
    const size_t slash = dir.find_last_of('/');
    if (slash == std::string::npos) return;
    dir.erase(slash == 0 ? 1 : slash);
    if (!directories_.insert(dir).second) return;
    if (dir.size() <= root_.size() || dir == "/") return;
  }
}

bool InstallBatch::Commit() {
  committed_ = true;
  // One flush per filesystem makes every staged copy durable before the
  // first of them takes an installed file's place.
  std::map<dev_t, std::string> filesystems;
  for (const Step& step : steps_) {
    struct stat info {};
    if (!step.temporary.empty() && stat(step.temporary.c_str(), &info) == 0) {
      filesystems.emplace(info.st_dev, step.temporary);
    }
  }
  bool ok = true;
  for (const auto& entry : filesystems) {
    FileDescriptor fd(open(entry.second.c_str(), O_RDONLY | O_CLOEXEC));
    ok = ok && fd.ok() && syncfs(fd.get()) == 0;
  }

  for (size_t next = 0; ok && next < steps_.size(); ++next) {
    Step& step = steps_[next];
    if (!step.temporary.empty()) {
      ok = std::rename(step.temporary.c_str(), step.target.c_str()) == 0;
      if (ok) NoteDirectoriesOf(step.target);
      continue;
    }
    ok = step.action();
    for (const std::string& path : step.touched) {
      if (access(path.c_str(), F_OK) == 0) {
        ok = SyncPath(path, O_RDONLY) && ok;
      }
      NoteDirectoriesOf(path);
    }
  }
  // Staged copies that never took their place go (the others are no
  // longer there under their temporary names).
  for (const Step& step : steps_) {
    if (!step.temporary.empty()) unlink(step.temporary.c_str());
  }
  for (const std::string& dir : directories_) ok = SyncPath(dir, O_RDONLY | O_DIRECTORY) && ok;
  return ok;
}

void RemoveInterruptedReplaces(const std::string& root) {
  std::error_code error;
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error);
  for (const fs::recursive_directory_iterator end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (!EndsWith(name, kInstallPartSuffix) && !EndsWith(name, kDownloadPartSuffix)) continue;
    std::error_code ignored;
    if (it->is_regular_file(ignored)) fs::remove(it->path(), ignored);
  }
}
