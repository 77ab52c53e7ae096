// The files of one package are installed as a batch: every new content is
// first written to a temporary file beside its target, all of them are made
// durable with one flush of their filesystem, and only then does each take
// its target's place (in the order staged, with the package's other steps
// between), after which the touched directories are made durable. A crash
// therefore leaves each installed file old or new, never cut, and once the
// batch is committed everything it installed is on disk, before any version
// is recorded.
#pragma once

#include <sys/types.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

class InstallBatch {
 public:
  // `root` is the directory installed into (directories are made durable up
  // to it); it holds the ledger of the staged copies (update_temporaries.h).
  // With `linkSources` a source may be staged as a hard link (StageCopy):
  // only for sources that are removed or replaced, never written, later.
  explicit InstallBatch(std::string root, bool linkSources = false);
  // A batch that was not committed takes its temporary files with it.
  ~InstallBatch();
  InstallBatch(const InstallBatch&) = delete;
  InstallBatch& operator=(const InstallBatch&) = delete;

  // Puts the content of the plain file `source` beside `target` (under a
  // fresh name that no file had), to take its place at the commit: with
  // `linkSources`, a hard link to the source when both are on one filesystem
  // and the source has no other name, else a copy. Index files,
  // login.dat and del.lst are always copied. The staged file gets the
  // installed file's permission bits when it replaces one, else the source's.
  // False (nothing staged) when the source cannot be read, the copy cannot be
  // written whole, or the target is a directory or a read-only file.
  bool StageCopy(const std::string& source, const std::string& target);

  // A step that works on installed files in place (an index merge, the
  // delete list); run at the commit in its turn. `touched` names the files
  // it changes, which the commit makes durable after it. A step that fails
  // stops the commit.
  void AddStep(std::function<bool()> step, std::vector<std::string> touched = {});

  // Flush, then the renames and steps in order, then the directories.
  // False at the first failure; what was put in place before stays.
  bool Commit();

 private:
  struct Step {
    std::string temporary;  // a staged copy: renamed over `target`
    std::string target;
    dev_t device = 0;              // the staged copy's filesystem
    std::function<bool()> action;  // or a step of its own
    std::vector<std::string> touched;
    bool placed = false;  // renamed over its target
  };
  void NoteDirectoriesOf(const std::string& path);

  std::string root_;
  bool linkSources_;
  std::vector<Step> steps_;
  std::set<std::string> directories_;
  bool committed_ = false;
};
