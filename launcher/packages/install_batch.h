// The files of one package are installed as a batch: every new content is
// first written to a temporary file beside its target (a copy, or a merged
// index), all of them are made durable with one flush of their filesystem,
// and only then does each take its target's place (in the order staged,
// with the package's other steps between), after which the touched
// directories are made durable. A crash therefore leaves each installed
// file old or new, never cut, and once the batch is committed everything it
// installed is on disk, before any version is recorded.
//
// Before it writes, the batch checks what it adds against the room left on
// the filesystem (disk_room.h); a batch that does not commit removes what
// it wrote: its temporary files, the directories it made, and what its
// merges appended to data files.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "launcher/packages/disk_room.h"
#include "platform/file_replacement.h"

class InstallBatch {
 public:
  // `root` is the directory installed into (directories are made durable up
  // to it); it holds the ledger of the staged copies (update_temporaries.h).
  // With `linkSources` a source may be staged as a hard link (StageCopy):
  // only for sources that are removed or replaced, never written, later.
  explicit InstallBatch(std::string root, bool linkSources = false);
  // A batch that was not committed takes what it wrote with it.
  ~InstallBatch();
  InstallBatch(const InstallBatch&) = delete;
  InstallBatch& operator=(const InstallBatch&) = delete;

  // Puts the content of the plain file `source` beside `target` (under a
  // fresh name that no file had), to take its place at the commit: with
  // `linkSources`, a hard link to the source when both are on one filesystem
  // and the source has no other name, else a copy. login.dat, which merges
  // append to, is always copied. The staged file gets the
  // installed file's permission bits when it replaces one, else the source's.
  // Fails (nothing staged, saying why) when the source cannot be read, the
  // copy cannot be written whole or would not leave the disk's reserve free,
  // or the target is a directory or a read-only file.
  platform::Status StageCopy(const std::string& source, const std::string& target);

  // Stages content that `write` writes into the open new file it is given
  // (`size` bytes, checked against the room first), to take `target`'s place
  // at the commit. Its mode is the installed file's when it replaces one,
  // else `newMode`. `abandoned` runs when the file never takes its place.
  // Fails (nothing staged) as StageCopy does, or when `write` fails (with
  // errno set).
  platform::Status StageWritten(const std::string& target, uint64_t size, mode_t newMode,
                                const std::function<bool(int fd)>& write,
                                std::function<void()> abandoned = nullptr);

  // Takes room for `bytes` more in the open file `fd` at `path` (a data
  // file a merge appends to); false when that would not leave the reserve
  // free. Its filesystem is flushed with the staged copies at the commit.
  bool TakeRoom(const std::string& path, int fd, uint64_t bytes);

  // The file that holds `target`'s content as the batch stands: the copy
  // staged for it last, or `target` itself.
  std::string ContentOf(const std::string& target) const;

  // A directory made for the batch: removed again, when empty, if the batch
  // does not commit.
  void MadeDirectory(const std::string& path);

  // A step that works on installed files in place (the delete list); run at
  // the commit in its turn. `touched` names the files it changes, which the
  // commit makes durable after it. A step that fails stops the commit.
  void AddStep(std::function<bool()> step, std::vector<std::string> touched = {});

  // Flush, then the renames and steps in order, then the directories.
  // Fails at the first failure, saying which; what was put in place before
  // stays.
  platform::Status Commit();

 private:
  struct Step {
    std::optional<platform::FileReplacement> file;  // a staged copy, placed at the commit
    dev_t device = 0;                               // the staged copy's filesystem
    std::function<bool()> action;                   // or a step of its own
    std::vector<std::string> touched;
    std::function<void()> abandoned;
    bool placed = false;  // renamed over its target
  };
  void NoteDirectoriesOf(const std::string& path);
  // Takes room on `device` (measured through `fd` the first time).
  bool TakeRoomOn(dev_t device, int fd, uint64_t bytes);
  // Removes the staged copies that never took their place, last first.
  void Abandon();

  std::string root_;
  bool linkSources_;
  std::vector<Step> steps_;
  std::set<std::string> directories_;
  std::vector<std::string> madeDirectories_;
  std::map<std::string, std::string> stagedFor_;  // target -> its latest staged copy
  std::map<dev_t, DiskRoom> room_;                // what is left on each filesystem
  std::map<dev_t, std::string> appendedTo_;       // data files appended to, by filesystem
  bool committed_ = false;
};
