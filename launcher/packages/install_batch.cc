#include "launcher/packages/install_batch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <map>
#include <utility>

#include "download/update_temporaries.h"
#include "platform/file_descriptor.h"
#include "platform/file_replacement.h"

using platform::CopyAll;
using platform::FileDescriptor;

namespace {

bool SyncPath(const std::string& path, int flags) {
  FileDescriptor fd(open(path.c_str(), flags | O_CLOEXEC));
  return fd.ok() && fsync(fd.get()) == 0;
}

platform::Error NoRoomFor(const std::string& target) {
  return platform::Error{"no room on the disk for " + target +
                         " (a reserve of the disk stays free)"};
}

std::string LowerName(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// login.dat is appended to in place by later merges, which must never
// reach the package's copy through a shared inode. (Index files are
// replaced whole by their merges.)
bool WrittenInPlace(const std::string& path) { return LowerName(path) == "login.dat"; }

// A source that is a plain file of its own (no other name, not a symbolic
// link) may become the installed file itself.
bool Linkable(const std::string& source, const std::string& target, const struct stat& opened) {
  if (opened.st_nlink != 1 || WrittenInPlace(source) || WrittenInPlace(target)) return false;
  struct stat named {};
  return lstat(source.c_str(), &named) == 0 && S_ISREG(named.st_mode) &&
         named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

// Links `source` under a fresh noted name beside `target`; no file is
// created for the name. The unpacking wrote the data on this filesystem (a
// link to another one fails), so the commit's one flush covers it. Returns a
// descriptor of the linked file, or -1, with nothing of ours left there,
// when the link cannot be made or is not the opened file.
int LinkInto(const std::string& root, const std::string& source, int sourceFd,
             const struct stat& opened, const std::string& target, std::string& temporary) {
  if (!LinkNotedTemporary(root, source, target, kInstallTemporarySuffix, temporary)) return -1;
  struct stat linked {};
  if (lstat(temporary.c_str(), &linked) == 0 && linked.st_dev == opened.st_dev &&
      linked.st_ino == opened.st_ino) {
    const int fd = fcntl(sourceFd, F_DUPFD_CLOEXEC, 0);
    if (fd >= 0) return fd;
  }
  unlink(temporary.c_str());
  return -1;
}

// Staged files are flushed by the commit, all at once; an installed
// read-only file is not replaced (the process may run with rights that
// would ignore the permission bits).
platform::ReplaceOptions StagingOptions(const std::string& root, mode_t newMode) {
  platform::ReplaceOptions options;
  options.flush = platform::ReplaceFlush::kByCaller;
  options.keepReadOnly = true;
  options.newFileMode = newMode;
  // Fresh names: a game file that happens to be called like a staged copy
  // is never overwritten.
  options.makeTemporary = [root](const std::string& target, std::string& path) {
    return CreateNotedTemporary(root, target, kInstallTemporarySuffix, path);
  };
  return options;
}

}  // namespace

InstallBatch::InstallBatch(std::string root, bool linkSources)
    : root_(std::move(root)), linkSources_(linkSources) {
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

InstallBatch::~InstallBatch() {
  if (!committed_) {
    Abandon();
    for (auto it = madeDirectories_.rbegin(); it != madeDirectories_.rend(); ++it)
      rmdir(it->c_str());
  }
  // Every staged copy has taken its place or is gone.
  ForgetNotedTemporaries(root_);
}

void InstallBatch::Abandon() {
  for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
    if (!step->file || step->placed) continue;
    step->file.reset();  // removes the staged file
    if (step->abandoned) step->abandoned();
    step->abandoned = nullptr;
  }
}

bool InstallBatch::TakeRoomOn(dev_t device, int fd, uint64_t bytes) {
  auto found = room_.find(device);
  if (found == room_.end()) found = room_.emplace(device, RoomOnFilesystemOf(fd)).first;
  DiskRoom& room = found->second;
  const uint64_t needed = Footprint(bytes, room.block);
  if (room.bytes == UINT64_MAX) return true;  // the filesystem does not tell
  if (needed > room.bytes) return false;
  room.bytes -= needed;
  return true;
}

bool InstallBatch::TakeRoom(const std::string& path, int fd, uint64_t bytes) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || !TakeRoomOn(info.st_dev, fd, bytes)) return false;
  appendedTo_.emplace(info.st_dev, path);
  return true;
}

std::string InstallBatch::ContentOf(const std::string& target) const {
  const auto found = stagedFor_.find(target);
  return found == stagedFor_.end() ? target : found->second;
}

void InstallBatch::MadeDirectory(const std::string& path) { madeDirectories_.push_back(path); }

platform::Status InstallBatch::StageCopy(const std::string& source, const std::string& target) {
  FileDescriptor in(open(source.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (!in.ok() || fstat(in.get(), &info) != 0)
    return platform::Error::FromErrno("cannot read " + source, errno);
  if (!S_ISREG(info.st_mode)) return platform::Error{source + " is not a plain file"};

  // A replaced file keeps its mode, a new one takes the source's.
  platform::ReplaceOptions options = StagingOptions(root_, info.st_mode & 07777);
  bool linked = false;
  if (linkSources_) {
    options.makeTemporary = [&, copy = options.makeTemporary](const std::string& to,
                                                              std::string& path) {
      if (Linkable(source, to, info)) {
        const int fd = LinkInto(root_, source, in.get(), info, to, path);
        if (fd >= 0) {
          linked = true;
          return fd;
        }
      }
      return copy(to, path);
    };
  }
  platform::Result<platform::FileReplacement> staged =
      platform::FileReplacement::Begin(target, std::move(options));
  if (!staged) return staged.error();
  platform::FileReplacement& file = staged.value();
  dev_t device = info.st_dev;
  if (!linked) {
    struct stat made {};
    if (fstat(file.fd(), &made) != 0) return platform::Error::WritingFile(target, errno);
    if (!TakeRoomOn(made.st_dev, file.fd(), static_cast<uint64_t>(info.st_size)))
      return NoRoomFor(target);
    if (!CopyAll(in.get(), file.fd())) return platform::Error::WritingFile(target, errno);
    device = made.st_dev;
  }
  if (platform::Status finished = file.Finish(); !finished) return finished;
  stagedFor_[target] = file.path();
  steps_.push_back(Step{staged.release(), device, nullptr, {}, nullptr});
  return platform::Status();
}

platform::Status InstallBatch::StageWritten(const std::string& target, uint64_t size,
                                            mode_t newMode,
                                            const std::function<bool(int fd)>& write,
                                            std::function<void()> abandoned) {
  platform::Result<platform::FileReplacement> staged =
      platform::FileReplacement::Begin(target, StagingOptions(root_, newMode));
  if (!staged) return staged.error();
  platform::FileReplacement& file = staged.value();
  struct stat made {};
  if (fstat(file.fd(), &made) != 0) return platform::Error::WritingFile(target, errno);
  if (!TakeRoomOn(made.st_dev, file.fd(), size)) return NoRoomFor(target);
  if (!write(file.fd())) return platform::Error::WritingFile(target, errno);
  if (platform::Status finished = file.Finish(); !finished) return finished;
  stagedFor_[target] = file.path();
  steps_.push_back(Step{staged.release(), made.st_dev, nullptr, {}, std::move(abandoned)});
  return platform::Status();
}

void InstallBatch::AddStep(std::function<bool()> step, std::vector<std::string> touched) {
  steps_.push_back(Step{std::nullopt, 0, std::move(step), std::move(touched), nullptr});
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

platform::Status InstallBatch::Commit() {
  committed_ = true;
  // The first failure is the one told.
  platform::Status status;
  const auto failed = [&status](platform::Error error) {
    if (status) status = std::move(error);
    return false;
  };
  // One flush per filesystem makes every staged copy durable before the
  // first of them takes an installed file's place (and with them what the
  // merges appended to data files beside them).
  std::map<dev_t, std::string> filesystems = appendedTo_;
  for (const Step& step : steps_) {
    if (step.file) filesystems.emplace(step.device, step.file->path());
  }
  bool ok = true;
  for (const auto& entry : filesystems) {
    FileDescriptor fd(open(entry.second.c_str(), O_RDONLY | O_CLOEXEC));
    ok = ok &&
         ((fd.ok() && syncfs(fd.get()) == 0) ||
          failed(platform::Error::FromErrno("cannot flush the disk of " + entry.second, errno)));
  }

  for (size_t next = 0; ok && next < steps_.size(); ++next) {
    Step& step = steps_[next];
    if (step.file) {
      const platform::Status placed = step.file->Place();
      ok = placed.ok() || failed(placed.error());
      step.placed = ok;
      if (ok) NoteDirectoriesOf(step.file->target());
      continue;
    }
    ok = step.action() || failed(platform::Error{"a step of the installation failed"});
    for (const std::string& path : step.touched) {
      if (access(path.c_str(), F_OK) == 0) {
        ok = (SyncPath(path, O_RDONLY) ||
              failed(platform::Error::FromErrno("cannot flush " + path, errno))) &&
             ok;
      }
      NoteDirectoriesOf(path);
    }
  }
  // What never took its place goes, with the directories made only for it.
  if (!ok) {
    Abandon();
    for (auto it = madeDirectories_.rbegin(); it != madeDirectories_.rend(); ++it)
      rmdir(it->c_str());
  }
  for (const std::string& dir : directories_) {
    if (!SyncPath(dir, O_RDONLY | O_DIRECTORY))
      failed(platform::Error::FromErrno("cannot flush " + dir, errno));
  }
  return status;
}
