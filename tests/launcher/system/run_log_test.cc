#include "launcher/system/run_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <future>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "launcher/system/instance_path.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The text of a line after its time stamp ("YYYY-MM-DD hh:mm:ss: ").
std::string Body(const std::string& line) {
  static const std::regex stamp(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}: )");
  std::smatch match;
  if (!std::regex_search(line, match, stamp)) return "<no time stamp: " + line + ">";
  return match.suffix();
}

std::vector<std::string> Bodies(const std::string& path) {
  std::vector<std::string> bodies;
  for (const std::string& line : Lines(ReadFile(path))) bodies.push_back(Body(line));
  return bodies;
}

std::string Prefix(int line) { return "launcher(" + std::to_string(line) + "):"; }

class RunLogTest : public ::testing::Test {
 protected:
  void SetUp() override { SetInstancePath(wxString::FromUTF8(dir_.path())); }
  void TearDown() override { CloseRunLog(log_); }

  std::string LogPath() const { return dir_.File("run.log"); }

  TempDir dir_;
  RunLogHandle log_{nullptr};
};

TEST_F(RunLogTest, EntriesCarryTimeLevelPrefixAndTheirOwnNumber) {
  OpenRunLog(log_);
  ASSERT_NE(log_.load(), nullptr);
  RUNLOG_MESSAGE(log_, 1756, "The current is the latest version... ");
  RUNLOG_ERROR(log_, 1967, "unzip %s failure! %d", wxString("a.upd"), 7);
  RUNLOG_MESSAGE_TIGHT(log_, 2207, "process file is %s!", "data/x.dat");
  LogPlainError("Can't create the update thread!");
  LogPlainMessage("DownLoadServerListFile success!");
  // A percent sign in an argument is no format.
  RUNLOG_ERROR(log_, 2302, "pathList.xml %s error", wxString("/games/100%s%d%%/ServerList.xml"));
  // Text from a package or the network cannot break the line or forge one.
  RUNLOG_MESSAGE_TIGHT(log_, 2207, "process file is %s!",
                       wxString::FromUTF8("a\n2026-01-01 00:00:00: x\r\t\x1b[2J\x7f\u0085\u2028b"));
  LogPlainError(wxString::FromUTF8("plain\nforged"));
  // A failure line's cause follows it under its number, or plain.
  RUNLOG_CAUSE(log_, 1967, wxString("damaged entry 100%d.bin"));
  LogPlainCause(wxString());

  const std::vector<std::string> lines = Lines(ReadFile(LogPath()));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_TRUE(std::regex_match(
      lines[0],
      std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}: launcher\(212\): launcher started!)")))
      << lines[0];
  std::vector<std::string> bodies;
  for (const std::string& line : lines) bodies.push_back(Body(line));
  EXPECT_EQ(bodies[1], Prefix(1756) + " The current is the latest version... ");
  EXPECT_EQ(bodies[2], "Error: " + Prefix(1967) + " unzip a.upd failure! 7");
  EXPECT_EQ(bodies[3], Prefix(2207) + "process file is data/x.dat!");
  EXPECT_EQ(bodies[4], "Error: Can't create the update thread!");
  EXPECT_EQ(bodies[5], "DownLoadServerListFile success!");
  EXPECT_EQ(bodies[6],
            "Error: " + Prefix(2302) + " pathList.xml /games/100%s%d%%/ServerList.xml error");
  EXPECT_EQ(bodies[7], Prefix(2207) +
                           "process file is a\\n2026-01-01 00:00:00: x\\r\\t\\x1b[2J\\x7f"
                           "\\u0085\\u2028b!");
  EXPECT_EQ(bodies[8], "Error: plain\\nforged");
  EXPECT_EQ(bodies[9], "Error: " + Prefix(1967) + " cause: damaged entry 100%d.bin");
  EXPECT_EQ(bodies[10], "Error: cause: not known");
}

TEST_F(RunLogTest, NoRunLogWhenTheFileCannotBeOpened) {
  // A directory in the way fails the open also for root.
  std::filesystem::create_directory(LogPath());
  OpenRunLog(log_);
  EXPECT_EQ(log_.load(), nullptr);
  RUNLOG_ERROR(log_, 262, "load orvo.ini error");  // skipped, no crash
}

TEST_F(RunLogTest, NoRunLogInAReadOnlyDirectory) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only directories";
  std::filesystem::permissions(dir_.path(), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  OpenRunLog(log_);
  EXPECT_EQ(log_.load(), nullptr);
  EXPECT_FALSE(testing_support::PathExists(LogPath()));
}

TEST_F(RunLogTest, ASecondStartTruncatesThePreviousLog) {
  OpenRunLog(log_);
  RUNLOG_MESSAGE(log_, 1, "from the first run");
  CloseRunLog(log_);
  RUNLOG_MESSAGE(log_, 1, "after shut-down");  // goes nowhere

  OpenRunLog(log_);
  const std::vector<std::string> bodies = Bodies(LogPath());
  ASSERT_EQ(bodies.size(), 1u);
  EXPECT_NE(bodies[0].find("launcher started!"), std::string::npos);
  CloseRunLog(log_);

  // A link planted in its place is replaced, never written through.
  const std::string victim = dir_.File("victim.txt");
  testing_support::WriteFile(victim, "keep");
  std::filesystem::remove(LogPath());
  std::filesystem::create_symlink(victim, LogPath());
  OpenRunLog(log_);
  EXPECT_EQ(ReadFile(victim), "keep");
  EXPECT_FALSE(std::filesystem::is_symlink(LogPath()));
  EXPECT_EQ(Bodies(LogPath()).size(), 1u);
}

TEST_F(RunLogTest, WorkerLinesReachTheFileAtOnceAndInOrder) {
  OpenRunLog(log_);
  std::promise<void> firstWritten;
  std::promise<void> checked;
  std::thread worker([&] {
    RUNLOG_MESSAGE(log_, 1, "worker %d", 0);
    firstWritten.set_value();
    checked.get_future().wait();
    for (int i = 1; i < 200; ++i) RUNLOG_MESSAGE(log_, 1, "worker %d", i);
    LogPlainError("DownLoadServerListFile faiure!");
  });
  firstWritten.get_future().wait();
  // The worker is still running and the main thread flushed nothing.
  const std::string early = ReadFile(LogPath());
  checked.set_value();
  for (int i = 0; i < 200; ++i) RUNLOG_ERROR(log_, 2, "main %d", i);
  worker.join();

  EXPECT_NE(early.find(" worker 0"), std::string::npos) << early;
  // Each thread's lines in the order written, none lost.
  int nextWorker = 0, nextMain = 0, n = 0;
  const std::vector<std::string> bodies = Bodies(LogPath());
  for (const std::string& body : bodies) {
    if (std::sscanf(body.c_str(), "launcher(%*d): worker %d", &n) == 1) {
      EXPECT_EQ(n, nextWorker++);
    } else if (std::sscanf(body.c_str(), "Error: launcher(%*d): main %d", &n) == 1) {
      EXPECT_EQ(n, nextMain++);
    }
  }
  EXPECT_EQ(nextWorker, 200);
  EXPECT_EQ(nextMain, 200);
  EXPECT_NE(std::find(bodies.begin(), bodies.end(), "Error: DownLoadServerListFile faiure!"),
            bodies.end());
}

TEST_F(RunLogTest, ShutDownWhileAWorkerWritesIsSafe) {
  OpenRunLog(log_);
  std::atomic<bool> stop{false};
  std::atomic<int> written{0};
  std::thread worker([&] {
    while (!stop) {
      RUNLOG_MESSAGE(log_, 1, "busy %d", written.load());
      ++written;
    }
  });
  EXPECT_TRUE(testing_support::WaitUntil([&] { return written >= 20; }));
  CloseRunLog(log_);
  const std::string atClose = ReadFile(LogPath());
  const int before = written;
  EXPECT_TRUE(testing_support::WaitUntil([&] { return written >= before + 20; }));
  stop = true;
  worker.join();
  EXPECT_EQ(ReadFile(LogPath()), atClose);  // nothing after shut-down
}

}  // namespace
