#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <utility>

#include "platform/fresh_file.h"
#include "platform/name_in_any_case.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace platform;
using testing_support::PathExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(FilesTest, SeparatorsAndExistence) {
  EXPECT_EQ(ToNativeSeparators("data\\ui/skin\\a.png"), "data/ui/skin/a.png");
  TempDir dir;
  WriteFile(dir.File("f"), "x");
  EXPECT_TRUE(FileExists(dir.File("f")));
  EXPECT_FALSE(FileExists(dir.path()));
  EXPECT_FALSE(DirectoryExists(dir.File("f")));
  EXPECT_FALSE(FileExists(""));
}

TEST(FilesTest, CreateFileIfMissingLeavesExistingContent) {
  TempDir dir;
  EXPECT_TRUE(CreateFileIfMissing(dir.File("new.ini")));
  WriteFile(dir.File("old.ini"), "[Setting]\n");
  chmod(dir.File("old.ini").c_str(), 0444);
  EXPECT_TRUE(CreateFileIfMissing(dir.File("old.ini")));
  EXPECT_EQ(ReadFile(dir.File("old.ini")), "[Setting]\n");
  EXPECT_FALSE(CreateFileIfMissing(dir.File("no/dir/file")));
}

TEST(FilesTest, ReadOnlyFilesCanBeMadeWritableAndDeleted) {
  TempDir dir;
  const std::string file = dir.File("login.dat");
  WriteFile(file, "x");
  chmod(file.c_str(), 0444);
  EXPECT_TRUE(IsReadOnly(file));
  EXPECT_TRUE(MakeWritable(file));
  EXPECT_FALSE(IsReadOnly(file));
  EXPECT_TRUE(DeleteFile(file));
  EXPECT_FALSE(DeleteFile(file));
  EXPECT_FALSE(DeleteFile(dir.path()));  // never a directory
}

TEST(FilesTest, CopyRecursivelyReplacesFilesInTree) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("from/sub/deeper"));
  WriteFile(dir.File("from/a.txt"), "new a");
  WriteFile(dir.File("from/sub/deeper/b.txt"), "new b");
  std::filesystem::create_directories(dir.File("to/sub"));
  WriteFile(dir.File("to/a.txt"), "old a");
  WriteFile(dir.File("to/keep.txt"), "keep");
  EXPECT_TRUE(CopyRecursively(dir.File("from"), dir.File("to")));
  EXPECT_EQ(ReadFile(dir.File("to/a.txt")), "new a");
  EXPECT_EQ(ReadFile(dir.File("to/sub/deeper/b.txt")), "new b");
  EXPECT_EQ(ReadFile(dir.File("to/keep.txt")), "keep");

  WriteFile(dir.File("single"), "one");
  WriteFile(dir.File("target"), "old");
  chmod(dir.File("target").c_str(), 0444);
  EXPECT_TRUE(CopyRecursively(dir.File("single"), dir.File("target")));
  EXPECT_EQ(ReadFile(dir.File("target")), "one");
  EXPECT_FALSE(CopyRecursively(dir.File("missing"), dir.File("x")));
}

TEST(FilesTest, DeleteRecursivelyRemovesReadOnlyTrees) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("temp/sub"));
  WriteFile(dir.File("temp/sub/f"), "x");
  chmod(dir.File("temp/sub/f").c_str(), 0444);
  chmod(dir.File("temp/sub").c_str(), 0555);
  EXPECT_TRUE(DeleteRecursively(dir.File("temp")));
  EXPECT_FALSE(PathExists(dir.File("temp")));
  EXPECT_TRUE(DeleteRecursively(dir.File("temp")));  // nothing left is success
}

}  // namespace

namespace {

TEST(FilesTest, NamesAreFoundInAnyLetterCase) {
  TempDir dir;
  const std::string directory = dir.path();
  WriteFile(dir.File("Version.ini"), "x");
  WriteFile(dir.File("orvo.ini"), "x");
  WriteFile(dir.File("ORVO.INI"), "x");
  WriteFile(dir.File("SERVERLIST.xml"), "x");
  WriteFile(dir.File("serverlist.XML"), "x");
  const std::pair<const char*, const char*> cases[] = {
      {"version.ini", "Version.ini"},
      {"orvo.ini", "orvo.ini"},              // exact wins
      {"ServerList.xml", "SERVERLIST.xml"},  // first in byte order
      {"web.ini", "web.ini"},                // none: the name asked for
      {"version.in", "version.in"},
  };
  for (const auto& [asked, found] : cases)
    EXPECT_EQ(NameInAnyCase(directory, asked), found) << asked;
}

TEST(FilesTest, FreshFilesNeverWriteThroughWhatWasPlanted) {
  TempDir dir;
  const std::string victim = dir.File("victim");
  const std::string path = dir.File("run.log");
  const std::function<void()> plants[] = {
      [&] { std::filesystem::create_symlink(victim, path); },
      [&] { std::filesystem::create_symlink(dir.File("missing"), path); },
      [&] { std::filesystem::create_hard_link(victim, path); },
      [&] { mkfifo(path.c_str(), 0600); },
      [&] { WriteFile(path, "old text"); },  // an own file: truncated
  };
  for (const auto& plant : plants) {
    WriteFile(victim, "keep");
    std::filesystem::remove(path);
    plant();
    const int fd = CreateFreshFile(path.c_str(), false);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "new", 3), 3);
    close(fd);
    EXPECT_EQ(ReadFile(victim), "keep");
    EXPECT_FALSE(PathExists(dir.File("missing")));
    EXPECT_EQ(ReadFile(path), "new");
  }
  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
  EXPECT_LT(CreateFreshFile(path.c_str(), true), 0);
}

}  // namespace
