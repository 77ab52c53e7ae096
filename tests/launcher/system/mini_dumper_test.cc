#include "launcher/system/mini_dumper.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "launcher/system/my_thread.h"
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

// A stack overflow on one of the launcher's worker threads.
void OverflowOnAWorker() {
  auto* worker = new MyThread([](void*) { Recurse(0); }, nullptr, SystemRoadEnvironment());
  if (worker->Create() != 0 || worker->Run() != 0) return;
  JoinWorkerThreads();
}

// "launcher.<seconds>.dmp", the seconds a signed decimal number.
bool IsDumpName(const std::string& name) {
  static const std::regex pattern(R"(launcher\.-?[0-9]+\.dmp)");
  return std::regex_match(name, pattern);
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
      for (const char* part : {buttons == platform::MessageBoxButtons::YesNo ? "YesNo|" : "Ok|",
                               caption.c_str(), "|", text.c_str(), "\n<end>\n"})
        WriteAll(fd, part);
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

  // A child that writes through null under the dumper `make` gives; its
  // message boxes are answered with `answer` and appended to `boxes`.
  static ChildEnd NullWriteUnder(const std::string& boxes, platform::MessageBoxResult answer,
                                 const std::function<std::unique_ptr<MiniDumper>()>& make) {
    return RunInChild([&] {
      FileDesktop desktop(boxes, answer);
      platform::SetDesktop(&desktop);
      const std::unique_ptr<MiniDumper> dumper = make();
      WriteThroughNull();
    });
  }
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

  // Expects exactly one dump in `directory`, named after a time in [before, after].
  std::string ExpectOneDump(const std::string& directory, std::time_t before,
                            std::time_t after) const {
    const std::vector<std::string> dumps = DumpFiles(directory);
    EXPECT_EQ(dumps.size(), 1u);
    if (dumps.size() != 1) return "";
    const long seconds = std::stol(dumps[0].substr(std::string("launcher.").size()));
    // The name holds the time as a signed 32-bit number.
    const auto asStored = [](std::time_t t) {
      return static_cast<int32_t>(static_cast<uint32_t>(t));
    };
    EXPECT_TRUE(seconds >= asStored(before) && seconds <= asStored(after)) << dumps[0];
    return dumps[0];
  }

  // The crash reached the handler that was there before ours: the signal's
  // default action, or a sanitizer's report with its own exit code.
  void ExpectNotCaught(const ChildEnd& end) const {
    EXPECT_TRUE(end.signal == SIGSEGV || (end.exited && end.exitCode != 0 && end.exitCode != 99))
        << "exit " << end.exitCode << ", signal " << end.signal;
    EXPECT_TRUE(DumpFiles().empty());
  }

  TempDir dir_;
  TempDir boxes_;
  bool wasSuppressed_ = false;
};

TEST_F(MiniDumperTest, QuietDumperWritesOneDumpForEveryKindOfCrashAndExitsWithZero) {
  const std::vector<std::pair<const char*, std::function<void()>>> crashes = {
      {"\nsignal: 11 SIGSEGV\n|\naddress: 0x0\n", [] { WriteThroughNull(); }},
      {"\nsignal: 6 SIGABRT\n|", [] { abort(); }},
      {"\nsignal: 11 SIGSEGV\n|", [] { std::thread(WriteThroughNull).join(); }},
      {"\nsignal: 11 SIGSEGV\n|", [] { Recurse(0); }},
      {"\nsignal: 11 SIGSEGV\n|", [] { OverflowOnAWorker(); }},
      {"\nsignal: 11 SIGSEGV\n|", [] { MiniDumper::StartThread([] { Recurse(0); }).join(); }},
  };
  for (const auto& crash : crashes) {
    SCOPED_TRACE(crash.first);
    TempDir dir;
    const std::time_t before = std::time(nullptr);
    const ChildEnd end = RunInChild([&] {
      FileDesktop desktop(dir.File("boxes.txt"), platform::MessageBoxResult::Yes);
      platform::SetDesktop(&desktop);
      MiniDumper dumper(true, dir.File("launcher"));
      crash.second();
    });
    EXPECT_TRUE(end.exited);
    EXPECT_EQ(end.exitCode, 0);
    const std::string name = ExpectOneDump(dir.path(), before, std::time(nullptr));
    if (name.empty()) continue;
    const std::string dump = ReadFile(dir.File(name));
    EXPECT_EQ(dump.rfind(std::string(platform::kCrashDumpHeader) + "\ntime: ", 0), 0u);
    // Each case names the lines the dump must hold, split at "|".
    const std::string lines = crash.first;
    const size_t bar = lines.find('|');
    EXPECT_NE(dump.find(lines.substr(0, bar)), std::string::npos);
    EXPECT_NE(dump.find(lines.substr(bar + 1)), std::string::npos);
#if defined(__x86_64__)
    // The faulting thread's registers, its stack pointer among them.
    EXPECT_TRUE(
        std::regex_search(dump, std::regex("\nregisters:\nrip: 0x[0-9a-f]+\nrsp: 0x[0-9a-f]+\n")));
#endif
    // This program is among the crashing thread's frames.
    const size_t frames = dump.find("\nbacktrace:\n");
    const size_t maps = dump.find("\nmaps:\n");
    ASSERT_TRUE(frames != std::string::npos && maps != std::string::npos);
    EXPECT_NE(dump.substr(frames, maps - frames).find("launcher_tests"), std::string::npos);
    EXPECT_EQ(dump.substr(dump.size() - 4), "end\n");
    EXPECT_FALSE(testing_support::PathExists(dir.File("boxes.txt")));
  }
}

// Threads that libraries start get their alternate stack from the launcher
// program's thread hook, which sanitizer builds leave out.
TEST(ThreadHookTest, ThreadsThatLibrariesStartGetTheirOwnSignalStack) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "no thread hook under a sanitizer";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  GTEST_SKIP() << "no thread hook under a sanitizer";
#endif
#endif
  FILE* probe = popen(VELMOR_THREAD_HOOK_PROBE, "r");
  ASSERT_NE(probe, nullptr);
  char line[16] = {};
  const bool read = std::fgets(line, sizeof line, probe) != nullptr;
  EXPECT_EQ(pclose(probe), 0);
  ASSERT_TRUE(read);
  EXPECT_STREQ(line, "own\n");
}

TEST_F(MiniDumperTest, NotQuietAsksFirstAndWritesOnlyOnYes) {
  const std::time_t before = std::time(nullptr);
  ChildEnd end = NullWriteUnder(BoxesFile(), platform::MessageBoxResult::Yes,
                                [&] { return std::make_unique<MiniDumper>(false, ProgramFile()); });
  EXPECT_EQ(end.exitCode, 0);
  const std::string name = ExpectOneDump(dir_.path(), before, std::time(nullptr));
  EXPECT_EQ(ReadFile(BoxesFile()),
            "YesNo||There was an unexpected error:\n\n\nWould you like to save a diagnostic "
            "file?\n\nFilename: " +
                dir_.File(name) + "\n<end>\n");

  TempDir no;
  end = NullWriteUnder(no.File("boxes.txt"), platform::MessageBoxResult::No,
                       [&] { return std::make_unique<MiniDumper>(false, no.File("launcher")); });
  EXPECT_EQ(end.exitCode, 0);
  EXPECT_TRUE(DumpFiles(no.path()).empty());
  const std::string boxes = ReadFile(no.File("boxes.txt"));
  EXPECT_EQ(boxes.rfind("YesNo||", 0), 0u);
  EXPECT_EQ(boxes.find("<end>"), boxes.rfind("<end>")) << "one question, nothing more";
}

TEST_F(MiniDumperTest, WithoutDumpWriterNoFileAndAMessageOnlyWhenNotQuiet) {
  const std::tuple<bool, bool, const char*> cases[] = {
      {true, false, ""},
      {false, false, "Ok||DBGHELP.DLL not found\n<end>\n"},
      {false, true, "Ok||DBGHELP.DLL too old\n<end>\n"},
  };
  for (const auto& [quietCase, libraryFoundCase, expected] : cases) {
    SCOPED_TRACE(expected);
    // Lambdas cannot capture structured bindings in C++17.
    const bool quiet = quietCase;
    const bool libraryFound = libraryFoundCase;
    TempDir dir;
    // Copies: C++17 lambdas cannot capture structured bindings.
    const ChildEnd end = NullWriteUnder(dir.File("boxes.txt"), platform::MessageBoxResult::Yes,
                                        [&, quiet = quiet, libraryFound = libraryFound] {
                                          return std::make_unique<DumperWithoutWriter>(
                                              quiet, dir.File("launcher"), libraryFound);
                                        });
    EXPECT_TRUE(end.exited && end.exitCode == 0);
    EXPECT_TRUE(DumpFiles(dir.path()).empty());
    EXPECT_EQ(ReadFile(dir.File("boxes.txt")), expected);
  }
}

TEST_F(MiniDumperTest, UnwritableDirectoryLeavesNoFileAndReportsWhenNotQuiet) {
  const std::string missing = dir_.File("missing/launcher");
  for (bool quiet : {true, false}) {
    const ChildEnd end = NullWriteUnder(BoxesFile(), platform::MessageBoxResult::Yes, [&] {
      return std::make_unique<MiniDumper>(quiet, missing);
    });
    EXPECT_EQ(end.exitCode, 0) << quiet;
  }
  // Only the loud one asked, then reported the path it would have used.
  const std::string boxes = ReadFile(BoxesFile());
  static const std::regex expected(
      "YesNo\\|\\|[^]*<end>\nOk\\|\\|Failed to create dump file '.*/missing/"
      "launcher\\.-?[0-9]+\\.dmp' \\(error 2\\)\n<end>\n");
  EXPECT_TRUE(std::regex_match(boxes, expected)) << boxes;
  EXPECT_NE(boxes.find("'" + dir_.path() + "missing/"), std::string::npos) << boxes;
  EXPECT_FALSE(testing_support::PathExists(dir_.File("missing")));
}

TEST_F(MiniDumperTest, InstallsOnceAndPutsThePreviousHandlerBack) {
  struct sigaction before {};
  sigaction(SIGSEGV, nullptr, &before);
  {
    MiniDumper first(true, ProgramFile());
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

TEST_F(MiniDumperTest, CrashAfterTheDumperIsGoneOrWhenSuppressedIsNotCaught) {
  ExpectNotCaught(RunInChild([&] {
    { MiniDumper dumper(true, ProgramFile()); }
    WriteThroughNull();
  }));
  ExpectNotCaught(RunInChild([&] {
    MiniDumper::SuppressInstallation(true);
    MiniDumper dumper(true, ProgramFile());
    if (MiniDumper::InstalledDumper() != nullptr) _exit(98);
    WriteThroughNull();
  }));
}

TEST_F(MiniDumperTest, CrashInsideTheHandlerStillEndsWithZero) {
  const ChildEnd end = RunInChild([&] {
    FileDesktop desktop(BoxesFile(), platform::MessageBoxResult::Yes);
    desktop.CrashOnShow();
    platform::SetDesktop(&desktop);
    MiniDumper dumper(false, ProgramFile());
    WriteThroughNull();
  });
  EXPECT_TRUE(end.exited && end.exitCode == 0)
      << "exit " << end.exitCode << ", signal " << end.signal;
  EXPECT_TRUE(DumpFiles().empty());
}

}  // namespace
