#include "launcher/mini_dumper.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/desktop.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;

int* volatile g_nowhere = nullptr;

void WriteThroughNull() { *g_nowhere = 1; }

// Deep enough to overflow any thread stack; the padding keeps every frame
// on the stack and the addition keeps the call out of tail position.
int Recurse(int depth) {
  volatile char padding[1024];
  padding[0] = static_cast<char>(depth);
  if (depth == INT32_MAX) return padding[0];
  return Recurse(depth + 1) + padding[0];
}

// "launcher.<seconds>.dmp", the seconds a signed decimal number.
bool IsDumpName(const std::string& name) {
  const std::string prefix = "launcher.";
  const std::string suffix = ".dmp";
  if (name.size() <= prefix.size() + suffix.size() || name.rfind(prefix, 0) != 0 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return false;
  }
  std::string seconds = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  if (seconds[0] == '-') seconds.erase(0, 1);
  return !seconds.empty() && seconds.find_first_not_of("0123456789") == std::string::npos;
}

// How a child process ended.
struct ChildEnd {
  bool exited = false;
  int exitCode = -1;
  int signal = 0;
};

// Runs `body` in a forked child without core files. A body that returns
// ends the child with 99, which no test expects.
ChildEnd RunInChild(const std::function<void()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    struct rlimit noCore {};
    setrlimit(RLIMIT_CORE, &noCore);
    body();
    _exit(99);
  }
  ChildEnd end;
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return end;
  end.exited = WIFEXITED(status);
  if (end.exited) end.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
  return end;
}

// A desktop for the child: appends each message box to a file (the parent
// reads it after the child ended) and gives a fixed answer.
class FileDesktop : public platform::Desktop {
 public:
  FileDesktop(std::string path, platform::MessageBoxResult answer)
      : path_(std::move(path)), answer_(answer) {}

  // Called inside the signal handler: no heap, only write().
  platform::MessageBoxResult ShowMessageBox(const std::string& text, const std::string& caption,
                                            platform::MessageBoxButtons buttons) override {
    const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
      WriteAll(fd, buttons == platform::MessageBoxButtons::YesNo ? "YesNo|" : "Ok|");
      WriteAll(fd, caption.c_str());
      WriteAll(fd, "|");
      WriteAll(fd, text.c_str());
      WriteAll(fd, "\n<end>\n");
      close(fd);
    }
    if (crashOnShow_) WriteThroughNull();
    return answer_;
  }
  bool OpenUrl(const std::string&) override { return false; }
  platform::DisplayMode GetDisplayMode() override { return platform::kDefaultDisplayMode; }
  bool ChangeDisplayMode(const platform::DisplayMode&) override { return false; }
  void PostQuit(int) override {}

  void CrashOnShow() { crashOnShow_ = true; }

 private:
  static void WriteAll(int fd, const char* text) {
    for (size_t size = std::strlen(text); size > 0;) {
      const ssize_t written = write(fd, text, size);
      if (written <= 0) return;
      text += written;
      size -= static_cast<size_t>(written);
    }
  }

  std::string path_;
  platform::MessageBoxResult answer_;
  bool crashOnShow_ = false;
};

// A dumper whose dump writer is reported missing or too old.
class DumperWithoutWriter : public MiniDumper {
 public:
  DumperWithoutWriter(bool quiet, const std::string& programFile, bool libraryFound)
      : MiniDumper(quiet, programFile), libraryFound_(libraryFound) {}

 protected:
  DumpWriterLookup LocateDumpWriter() override { return DumpWriterLookup{libraryFound_, nullptr}; }

 private:
  bool libraryFound_;
};

class MiniDumperTest : public ::testing::Test {
 protected:
  // The test program may keep dumpers from installing (see WinMain's tests).
  void SetUp() override { wasSuppressed_ = MiniDumper::SuppressInstallation(false); }
  void TearDown() override { MiniDumper::SuppressInstallation(wasSuppressed_); }

  std::string ProgramFile() const { return dir_.File("launcher"); }
  std::string BoxesFile() const { return boxes_.File("boxes.txt"); }

  // Names in the program directory that look like our dumps.
  std::vector<std::string> DumpFiles(const std::string& directory) const {
    std::vector<std::string> names;
    DIR* listing = opendir(directory.c_str());
    if (!listing) return names;
    while (dirent* entry = readdir(listing)) {
      if (IsDumpName(entry->d_name)) names.push_back(entry->d_name);
    }
    closedir(listing);
    return names;
  }
  std::vector<std::string> DumpFiles() const { return DumpFiles(dir_.path()); }

  // Expects exactly one dump named after a time in [before, after].
  std::string ExpectOneDump(std::time_t before, std::time_t after) const {
    const std::vector<std::string> dumps = DumpFiles();
    EXPECT_EQ(dumps.size(), 1u);
    if (dumps.size() != 1) return "";
    const long seconds = std::stol(dumps[0].substr(std::string("launcher.").size()));
    EXPECT_GE(seconds, static_cast<int32_t>(static_cast<uint32_t>(before)));
    EXPECT_LE(seconds, static_cast<int32_t>(static_cast<uint32_t>(after)));
    return dumps[0];
  }

  // The crash reached the handler that was there before ours: the signal's
  // default action, or a sanitizer's report with its own exit code.
  void ExpectNotCaught(const ChildEnd& end) const {
    EXPECT_TRUE(end.signal == SIGSEGV || (end.exited && end.exitCode != 0 && end.exitCode != 99))
        << "exit " << end.exitCode << ", signal " << end.signal;
    EXPECT_TRUE(DumpFiles().empty());
  }

  void ExpectNoBoxes() const { EXPECT_FALSE(testing_support::PathExists(BoxesFile())); }

  TempDir dir_;
  TempDir boxes_;
  bool wasSuppressed_ = false;
};

TEST_F(MiniDumperTest, QuietNullWriteLeavesOneDumpAndExitsWithZero) {
  const std::time_t before = std::time(nullptr);
  const ChildEnd end = RunInChild([&] {
    FileDesktop desktop(BoxesFile(), platform::MessageBoxResult::Yes);
    platform::SetDesktop(&desktop);
    MiniDumper dumper(true, ProgramFile());
    WriteThroughNull();
  });
  const std::time_t after = std::time(nullptr);
  EXPECT_TRUE(end.exited);
  EXPECT_EQ(end.exitCode, 0);
  const std::string name = ExpectOneDump(before, after);
  const std::string dump = ReadFile(dir_.File(name));
  EXPECT_EQ(dump.rfind(std::string(platform::kCrashDumpHeader) + "\ntime: ", 0), 0u);
  EXPECT_NE(dump.find("\nsignal: 11 SIGSEGV\n"), std::string::npos);
  EXPECT_NE(dump.find("\naddress: 0x0\n"), std::string::npos);
  // Frames of the crashing thread between the two headings, this test's
  // program among them.
  const size_t frames = dump.find("\nbacktrace:\n");
  const size_t maps = dump.find("\nmaps:\n");
  ASSERT_NE(frames, std::string::npos);
  ASSERT_NE(maps, std::string::npos);
  EXPECT_NE(dump.substr(frames, maps - frames).find("launcher_tests"), std::string::npos);
  EXPECT_EQ(dump.substr(dump.size() - 4), "end\n");
  ExpectNoBoxes();
}

TEST_F(MiniDumperTest, AbortAndWorkerThreadCrashesAndStackOverflowAreHandled) {
  const std::vector<std::pair<const char*, std::function<void()>>> crashes = {
      {"signal: 6 SIGABRT", [] { abort(); }},
      {"signal: 11 SIGSEGV", [] { std::thread(WriteThroughNull).join(); }},
      {"signal: 11 SIGSEGV", [] { Recurse(0); }},
  };
  for (const auto& crash : crashes) {
    SCOPED_TRACE(crash.first);
    TempDir dir;
    const ChildEnd end = RunInChild([&] {
      MiniDumper dumper(true, dir.File("launcher"));
      crash.second();
    });
    EXPECT_TRUE(end.exited);
    EXPECT_EQ(end.exitCode, 0);
    const std::vector<std::string> dumps = DumpFiles(dir.path());
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_NE(ReadFile(dir.File(dumps[0])).find(crash.first), std::string::npos);
  }
}

TEST_F(MiniDumperTest, NotQuietAsksFirstAndWritesOnlyOnYes) {
  const std::time_t before = std::time(nullptr);
  ChildEnd end = RunInChild([&] {
    FileDesktop desktop(BoxesFile(), platform::MessageBoxResult::Yes);
    platform::SetDesktop(&desktop);
    MiniDumper dumper(false, ProgramFile());
    WriteThroughNull();
  });
  const std::time_t after = std::time(nullptr);
  EXPECT_EQ(end.exitCode, 0);
  const std::string name = ExpectOneDump(before, after);
  EXPECT_EQ(ReadFile(BoxesFile()),
            "YesNo||There was an unexpected error:\n\n\nWould you like to save a diagnostic "
            "file?\n\nFilename: " + dir_.File(name) + "\n<end>\n");

  TempDir noDir;
  const std::string noBoxes = noDir.File("boxes.txt");
  end = RunInChild([&] {
    FileDesktop desktop(noBoxes, platform::MessageBoxResult::No);
    platform::SetDesktop(&desktop);
    MiniDumper dumper(false, noDir.File("launcher"));
    WriteThroughNull();
  });
  EXPECT_TRUE(end.exited);
  EXPECT_EQ(end.exitCode, 0);
  EXPECT_TRUE(DumpFiles(noDir.path()).empty());
  const std::string boxes = ReadFile(noBoxes);
  EXPECT_EQ(boxes.rfind("YesNo||There was an unexpected error:", 0), 0u);
  EXPECT_EQ(boxes.find("<end>"), boxes.rfind("<end>")) << "one question, nothing more";
}

TEST_F(MiniDumperTest, WithoutDumpWriterNoFileAndAMessageOnlyWhenNotQuiet) {
  struct Case {
    bool quiet;
    bool libraryFound;
    const char* boxes;
  };
  const Case cases[] = {
      {true, false, ""},
      {false, false, "Ok||DBGHELP.DLL not found\n<end>\n"},
      {false, true, "Ok||DBGHELP.DLL too old\n<end>\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.boxes);
    TempDir dir;
    const std::string boxes = dir.File("boxes.txt");
    const ChildEnd end = RunInChild([&] {
      FileDesktop desktop(boxes, platform::MessageBoxResult::Yes);
      platform::SetDesktop(&desktop);
      DumperWithoutWriter dumper(c.quiet, dir.File("launcher"), c.libraryFound);
      WriteThroughNull();
    });
    EXPECT_TRUE(end.exited);
    EXPECT_EQ(end.exitCode, 0);
    EXPECT_TRUE(DumpFiles(dir.path()).empty());
    EXPECT_EQ(ReadFile(boxes), c.boxes);
  }
}

TEST_F(MiniDumperTest, UnwritableDirectoryLeavesNoFileAndReportsWhenNotQuiet) {
  const std::string missing = dir_.File("missing/launcher");
  ChildEnd end = RunInChild([&] {
    MiniDumper dumper(true, missing);
    WriteThroughNull();
  });
  EXPECT_EQ(end.exitCode, 0);

  end = RunInChild([&] {
    FileDesktop desktop(BoxesFile(), platform::MessageBoxResult::Yes);
    platform::SetDesktop(&desktop);
    MiniDumper dumper(false, missing);
    WriteThroughNull();
  });
  EXPECT_EQ(end.exitCode, 0);
  const std::string boxes = ReadFile(BoxesFile());
  // The question, then the failure with the path it would have used.
  const std::string failure = "<end>\nOk||Failed to create dump file '" + dir_.path() + "missing/";
  const std::string failureEnd = "' (error 2)\n<end>\n";
  EXPECT_EQ(boxes.rfind("YesNo||", 0), 0u) << boxes;
  const size_t start = boxes.find(failure);
  ASSERT_NE(start, std::string::npos) << boxes;
  ASSERT_GT(boxes.size(), start + failure.size() + failureEnd.size());
  EXPECT_EQ(boxes.substr(boxes.size() - failureEnd.size()), failureEnd);
  EXPECT_TRUE(IsDumpName(boxes.substr(start + failure.size(),
                                      boxes.size() - failureEnd.size() - start - failure.size())))
      << boxes;
  EXPECT_FALSE(testing_support::PathExists(dir_.File("missing")));
}

TEST_F(MiniDumperTest, SecondDumperChangesNothing) {
  TempDir second;
  const ChildEnd end = RunInChild([&] {
    FileDesktop desktop(BoxesFile(), platform::MessageBoxResult::Yes);
    platform::SetDesktop(&desktop);
    MiniDumper first(true, ProgramFile());
    { MiniDumper ignored(false, second.File("launcher")); }
    MiniDumper stillIgnored(false, second.File("launcher"));
    WriteThroughNull();
  });
  EXPECT_EQ(end.exitCode, 0);
  EXPECT_EQ(DumpFiles().size(), 1u);
  EXPECT_TRUE(DumpFiles(second.path()).empty());
  ExpectNoBoxes();
}

TEST_F(MiniDumperTest, InstallsOnceAndPutsThePreviousHandlerBack) {
  struct sigaction before {};
  sigaction(SIGSEGV, nullptr, &before);
  {
    MiniDumper first(true, ProgramFile());
    EXPECT_EQ(MiniDumper::InstalledDumper(), &first);
    struct sigaction installed {};
    sigaction(SIGBUS, nullptr, &installed);
    EXPECT_EQ(installed.sa_sigaction, &MiniDumper::Filter);
    EXPECT_NE(installed.sa_flags & SA_ONSTACK, 0);
    { MiniDumper second(false, ProgramFile()); }
    EXPECT_EQ(MiniDumper::InstalledDumper(), &first);
  }
  EXPECT_EQ(MiniDumper::InstalledDumper(), nullptr);
  struct sigaction after {};
  sigaction(SIGSEGV, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);

  MiniDumper next(true, ProgramFile());
  EXPECT_EQ(MiniDumper::InstalledDumper(), &next);
}

TEST_F(MiniDumperTest, CrashAfterTheDumperIsGoneIsNotCaught) {
  const ChildEnd end = RunInChild([&] {
    { MiniDumper dumper(true, ProgramFile()); }
    WriteThroughNull();
  });
  ExpectNotCaught(end);
}

TEST_F(MiniDumperTest, CrashInsideTheHandlerStillEndsWithZero) {
  const ChildEnd end = RunInChild([&] {
    FileDesktop desktop(BoxesFile(), platform::MessageBoxResult::Yes);
    desktop.CrashOnShow();
    platform::SetDesktop(&desktop);
    MiniDumper dumper(false, ProgramFile());
    WriteThroughNull();
  });
  EXPECT_TRUE(end.exited) << "signal " << end.signal;
  EXPECT_EQ(end.exitCode, 0);
  EXPECT_TRUE(DumpFiles().empty());
}

TEST_F(MiniDumperTest, SuppressedInstallationLeavesCrashesAlone) {
  const ChildEnd end = RunInChild([&] {
    MiniDumper::SuppressInstallation(true);
    MiniDumper dumper(true, ProgramFile());
    if (MiniDumper::InstalledDumper() != nullptr) _exit(98);
    WriteThroughNull();
  });
  ExpectNotCaught(end);
}

}  // namespace
