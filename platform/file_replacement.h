// Replacing a file: the new content is written to a temporary file beside
// the target and renamed over it, so that a reader, and a crash, find the
// old file or the new one, never a cut one. The rename replaces a link in
// the target's place rather than writing through it, and the temporary file
// gets a name that no file had, so nothing planted there is written either.
// This is the one way the launcher and the update library replace files.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/file_descriptor.h"

namespace platform {

enum class ReplaceFlush {
  // The new file is flushed before it takes the target's place and its
  // directory after, so the replacement survives a crash once it returns.
  kFileAndDirectory,
  // A batch of files whose caller flushes the whole filesystem once before
  // it places them, and their directories afterwards.
  kByCaller,
};

struct ReplaceOptions {
  ReplaceFlush flush = ReplaceFlush::kFileAndDirectory;
  // An installed read-only file is refused rather than replaced (the process
  // may run with rights that would ignore its permission bits).
  bool keepReadOnly = false;
  // The permission bits of a new file; a replaced one keeps its own. Unset:
  // the bits the temporary file was made with.
  std::optional<mode_t> newFileMode;
  // Makes the temporary file beside `target`: returns its descriptor (close-
  // on-exec; writable unless the maker gives it its content itself) and sets
  // `path`, or -1 with errno set. Unset: `target` + "." + six random
  // characters, made as a plain new file is (0666 less the umask).
  std::function<int(const std::string& target, std::string& path)> makeTemporary;
};

class FileReplacement {
 public:
  // Checks `target` and makes the temporary file beside it. Fails when the
  // target is a directory or another file that is not a plain one, is
  // read-only under `keepReadOnly`, or the temporary cannot be made.
  static Result<FileReplacement> Begin(const std::string& target, ReplaceOptions options = {});

  FileReplacement(FileReplacement&& other) noexcept;
  FileReplacement& operator=(FileReplacement&& other) noexcept;
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  // A temporary file that never took the target's place is removed.
  ~FileReplacement();

  // The temporary file while it is written (-1 after Finish) and its name.
  int fd() const { return file_.get(); }
  const std::string& path() const { return path_; }
  const std::string& target() const { return target_; }

  // The content is complete: the file gets its mode, is flushed (unless the
  // caller flushes) and closed.
  Status Finish();
  // Renames the finished file over the target (and flushes the directory
  // unless the caller does). An error after the rename leaves the new file
  // in place, but it may not survive a crash.
  Status Place();
  // Finish, then Place.
  Status Commit();
  // Removes the temporary file now.
  void Abandon();

 private:
  FileReplacement() = default;

  std::string target_;
  std::string path_;
  FileDescriptor file_;
  std::optional<mode_t> mode_;  // unset: the temporary's own
  ReplaceFlush flush_ = ReplaceFlush::kFileAndDirectory;
  bool placed_ = false;
};

// Replaces `target` with `bytes`.
Status ReplaceFileContent(const std::string& target, std::string_view bytes,
                          ReplaceOptions options = {});

// Replaces `target` with a copy of the plain file `source`; a new target gets
// the source's permission bits unless the options name others.
Status ReplaceFileWithCopy(const std::string& source, const std::string& target,
                           ReplaceOptions options = {});

// Flushes the directory that holds `path` ("." for a bare name).
Status FlushDirectoryOf(const std::string& path);

}  // namespace platform
