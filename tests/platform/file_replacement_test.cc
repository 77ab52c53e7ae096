#include "platform/file_replacement.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

using namespace platform;
using testing_support::PathExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

mode_t Umask() {
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}

// What stands at the target before, the options, and what must hold after:
// the new content in place with its mode, or the target (and whatever a link
// there leads to) untouched with the cause kept; never a temporary file left.
TEST(FileReplacementTest, ReplacesWholeOrNotAtAllAndNeverThroughALink) {
  enum class Before { kNothing, kFile0755, kReadOnly, kSymlink, kHardLink, kDirectory };
  struct Case {
    const char* name;
    Before before;
    ReplaceOptions options;
    int error;    // 0: replaced
    mode_t mode;  // of the new file
  };
  ReplaceOptions readOnlyKept;
  readOnlyKept.keepReadOnly = true;
  ReplaceOptions mode0640;
  mode0640.newFileMode = 0640;
  const Case cases[] = {
      {"new file", Before::kNothing, {}, 0, static_cast<mode_t>(0666 & ~Umask())},
      {"new file with its mode", Before::kNothing, mode0640, 0, 0640},
      {"file keeps its mode", Before::kFile0755, mode0640, 0, 0755},
      {"read-only file", Before::kReadOnly, {}, 0, 0444},
      {"read-only file kept", Before::kReadOnly, readOnlyKept, EACCES, 0},
      {"symbolic link replaced", Before::kSymlink, {}, 0, 0600},
      {"second name replaced", Before::kHardLink, {}, 0, 0600},
      {"directory", Before::kDirectory, {}, EISDIR, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string target = dir.File("orvo.ini");
    const std::string victim = dir.File("victim");
    WriteFile(victim, "keep");
    chmod(victim.c_str(), 0600);
    switch (c.before) {
      case Before::kNothing:
        break;
      case Before::kFile0755:
      case Before::kReadOnly:
        WriteFile(target, "old");
        chmod(target.c_str(), c.before == Before::kReadOnly ? 0444 : 0755);
        break;
      case Before::kSymlink:
        ASSERT_EQ(symlink(victim.c_str(), target.c_str()), 0);
        break;
      case Before::kHardLink:
        ASSERT_EQ(link(victim.c_str(), target.c_str()), 0);
        break;
      case Before::kDirectory:
        std::filesystem::create_directory(target);
        break;
    }
    const Status status = ReplaceFileContent(target, "new", c.options);
    EXPECT_EQ(status.ok() ? 0 : status.error().code, c.error);
    EXPECT_EQ(ReadFile(victim), "keep");
    if (c.error == 0) {
      EXPECT_EQ(ReadFile(target), "new");
      EXPECT_EQ(ModeOf(target), c.mode);
      EXPECT_FALSE(std::filesystem::is_symlink(target));
    }
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
      ++entries;
    EXPECT_EQ(entries, 2u);  // the target and the victim
  }
}

// A batch stages its files, flushes them itself and places them later; a
// file that never takes its place leaves nothing behind.
TEST(FileReplacementTest, StagedFilesTakeTheirPlaceOnlyWhenPlaced) {
  TempDir dir;
  const std::string longName = dir.File(std::string(NAME_MAX, 'n'));
  WriteFile(dir.File("a"), "old a");
  ReplaceOptions batch;
  batch.flush = ReplaceFlush::kByCaller;
  Result<FileReplacement> a = FileReplacement::Begin(dir.File("a"), batch);
  Result<FileReplacement> b = FileReplacement::Begin(longName, batch);
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(WriteAll(a.value().fd(), "new a", 5) && WriteAll(b.value().fd(), "b", 1));
  ASSERT_TRUE(a.value().Finish() && b.value().Finish());
  EXPECT_EQ(ReadFile(dir.File("a")), "old a");
  EXPECT_TRUE(a.value().Place());
  EXPECT_EQ(ReadFile(dir.File("a")), "new a");
  const std::string staged = b.value().path();
  EXPECT_TRUE(PathExists(staged));
  { FileReplacement dropped = b.release(); }
  EXPECT_FALSE(PathExists(staged));
  EXPECT_FALSE(PathExists(longName));

  // The copy of a file takes the source's bits when it is new.
  WriteFile(dir.File("tool"), "#!/bin/sh\n");
  chmod(dir.File("tool").c_str(), 0750);
  EXPECT_TRUE(ReplaceFileWithCopy(dir.File("tool"), dir.File("copy")));
  EXPECT_EQ(ModeOf(dir.File("copy")), 0750u);
  EXPECT_EQ(ReplaceFileWithCopy(dir.File("missing"), dir.File("copy")).error().code, ENOENT);
}

}  // namespace
