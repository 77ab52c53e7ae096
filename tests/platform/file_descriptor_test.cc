#include "platform/file_descriptor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

using namespace platform;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(FileDescriptorTest, LoopsMoveEveryByteOrFailWithTheCause) {
  TempDir dir;
  // More than one buffer of CopyAll.
  const std::string bytes(200000, 'b');
  WriteFile(dir.File("in"), bytes);
  FileDescriptor in(open(dir.File("in").c_str(), O_RDONLY | O_CLOEXEC));
  FileDescriptor out(open(dir.File("out").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  ASSERT_TRUE(in.ok() && out.ok());
  EXPECT_TRUE(CopyAll(in.get(), out.get()));
  EXPECT_TRUE(WriteAt(out.get(), 1, "xy", 2));
  char head[3] = {};
  EXPECT_TRUE(ReadAt(out.get(), 0, head, 3));
  EXPECT_EQ(std::string(head, 3), "bxy");
  char past[2];
  errno = 0;
  EXPECT_FALSE(ReadAt(out.get(), bytes.size() - 1, past, 2));  // the file ends first
  EXPECT_EQ(errno, EIO);
  EXPECT_TRUE(out.Close());
  EXPECT_FALSE(out.Close());  // given up already
  EXPECT_EQ(ReadFile(dir.File("out")).size(), bytes.size());

  // Sources the kernel's copy ends early on or refuses: a file that tells no
  // true size, a pipe.
  FileDescriptor status(open("/proc/self/status", O_RDONLY | O_CLOEXEC));
  int pipeEnds[2];
  ASSERT_EQ(pipe2(pipeEnds, O_CLOEXEC), 0);
  FileDescriptor pipeIn(pipeEnds[0]);
  ASSERT_TRUE(WriteAll(pipeEnds[1], "piped", 5));
  close(pipeEnds[1]);
  for (FileDescriptor* source : {&status, &pipeIn}) {
    FileDescriptor copy(
        open(dir.File("copy").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    ASSERT_TRUE(source->ok() && copy.ok());
    EXPECT_TRUE(CopyAll(source->get(), copy.get()));
    EXPECT_GE(ReadFile(dir.File("copy")).size(), 5u);
  }

  FileDescriptor full(open("/dev/full", O_WRONLY | O_CLOEXEC));
  ASSERT_TRUE(full.ok());
  EXPECT_FALSE(WriteAll(full.get(), "z", 1));
  EXPECT_EQ(errno, ENOSPC);
}

}  // namespace
