#include "platform/crash_dump.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "platform/signal_safe_text.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::SignalSafeText;
using testing_support::ReadFile;
using testing_support::TempDir;

TEST(SignalSafeTextTest, FormatsNumbersLikePrintf) {
  SignalSafeText text;
  text.AppendDecimal(0).Append(" ").AppendDecimal(-42).Append(" ").AppendDecimal(INT64_MIN);
  text.Append(" ").AppendDecimal(INT32_MIN).Append(" ").AppendHex(0).Append(" ").AppendHex(0xBEEF);
  EXPECT_STREQ(text.c_str(), "0 -42 -9223372036854775808 -2147483648 0x0 0xbeef");
  EXPECT_FALSE(text.truncated());
}

TEST(SignalSafeTextTest, CutsOffWhenFullAndStaysTerminated) {
  SignalSafeText text;
  const std::string chunk(1000, 'x');
  for (int i = 0; i < 5; ++i) text.Append(chunk.c_str());
  EXPECT_TRUE(text.truncated());
  EXPECT_EQ(text.size(), SignalSafeText::kCapacity - 1);
  EXPECT_EQ(std::strlen(text.c_str()), text.size());
  text.Clear();
  EXPECT_FALSE(text.truncated());
  EXPECT_STREQ(text.Append(nullptr).c_str(), "");
}

TEST(CrashDumpTest, WritesEverySectionInOrder) {
  TempDir dir;
  const std::string path = dir.File("test.dmp");
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  platform::CrashDumpUserStream stream;
  stream.name = "note";
  stream.data = "hello";
  stream.size = 5;
  platform::CrashDumpUserStreams streams;
  streams.streams = &stream;
  streams.count = 1;
  platform::CrashContext context;
  context.crashTime = 1700000000;
  context.processId = 1234;
  context.threadId = 1235;
  context.signalNumber = SIGBUS;
  context.signalCode = 2;
  context.faultAddress = reinterpret_cast<const void*>(0x1f00);
  context.userStreams = &streams;
  ucontext_t machine{};
#if defined(__x86_64__)
  machine.uc_mcontext.gregs[REG_RIP] = 0xabc;
  machine.uc_mcontext.gregs[REG_RSP] = 0xdef;
  const std::string registers = "rip: 0xabc\nrsp: 0xdef\n";
#else
  const std::string registers;
#endif
  context.machineContext = &machine;
  EXPECT_TRUE(platform::WriteCrashDump(fd, context));
  close(fd);

  const std::string dump = ReadFile(path);
  const std::string expectedStart = std::string(platform::kCrashDumpHeader) +
                                    "\ntime: 1700000000\nprocess: 1234\nthread: 1235\n"
                                    "signal: 7 SIGBUS\ncode: 2\naddress: 0x1f00\n"
                                    "registers:\n" +
                                    registers;
  EXPECT_EQ(dump.compare(0, expectedStart.size(), expectedStart), 0) << dump.substr(0, 300);
  EXPECT_NE(dump.find("\nstream: note 5\nhello\nbacktrace:\n"), std::string::npos);
  const size_t maps = dump.find("\nmaps:\n");
  ASSERT_NE(maps, std::string::npos);
  // At least one frame between the two headings, and a real memory map after.
  EXPECT_GT(maps, expectedStart.size());
  EXPECT_NE(dump.find("[stack]", maps), std::string::npos);
  EXPECT_EQ(dump.substr(dump.size() - 4), "end\n");
}

TEST(CrashDumpTest, ReportsAFailedWriteThroughErrno) {
  TempDir dir;
  testing_support::WriteFile(dir.File("read-only.dmp"), "");
  const int fd = open(dir.File("read-only.dmp").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  errno = 0;
  EXPECT_FALSE(platform::WriteCrashDump(fd, platform::CrashContext{}));
  EXPECT_EQ(errno, EBADF);
  close(fd);
}

TEST(CrashDumpTest, ThreadIdIsTheCallersOwn) {
  EXPECT_EQ(platform::CurrentThreadId(), getpid());  // gtest runs tests on the main thread
}

}  // namespace
