// The launcher's crash-dump handler. The first dumper constructed installs
// itself as the handler of the fatal signals (SIGSEGV, SIGBUS, SIGFPE,
// SIGILL, SIGABRT) of every thread; a crash then writes a dump file beside
// the program file and ends the process with exit code 0. WinMain constructs
// one in quiet mode first thing, so a crash is recorded without asking.
//
// Dump file: <program directory><program file name>.<crash time>.dmp, the
// time in seconds since 1970, low 32 bits as a signed decimal number; the
// contents are platform::WriteCrashDump's.
//
// The handler itself uses only async-signal-safe calls and no heap. Out of
// quiet mode it also asks through platform::CurrentDesktop() before writing
// and reports failures there, handing over texts whose room was reserved at
// installation; whether showing them is safe inside a signal handler is the
// desktop's matter (the default one takes a lock and writes to stderr), so
// a crash there may hang instead of ending. The launcher runs quiet.
#pragma once

#include <signal.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/crash_dump.h"

class MiniDumper {
 public:
  // Room for a full path in each of the path fields, terminator included.
  static constexpr size_t kPathCapacity = 4096;

  using DumpWriter = bool (*)(int fd, const platform::CrashContext& context);

  // What the handler found when it looked for its dump writer.
  struct DumpWriterLookup {
    bool found = false;          // false: "DBGHELP.DLL not found"
    DumpWriter write = nullptr;  // null while found: "DBGHELP.DLL too old"
  };

  // Installs this dumper unless one is installed already; in that case it
  // does nothing at all and the installed one stays in force.
  explicit MiniDumper(bool quiet);
  // The same, with the dump named after `programFile` (a full path) in
  // place of the running executable.
  MiniDumper(bool quiet, const std::string& programFile);

  // The installed dumper puts the previous signal handlers back, so that no
  // handler can reach it after it is gone. A crash being handled meanwhile
  // ends the process before this returns.
  virtual ~MiniDumper();

  MiniDumper(const MiniDumper&) = delete;
  MiniDumper& operator=(const MiniDumper&) = delete;

  // The signal handler. Without an installed dumper the signal gets its
  // default action; otherwise the installed dumper writes its dump and the
  // process ends.
  static void Filter(int signalNumber, siginfo_t* info, void* context);

  // The installed dumper, or null.
  static MiniDumper* InstalledDumper();

  // Gives the calling thread its own alternate signal stack, so that a stack
  // overflow on it still reaches the handler. The installing thread gets one
  // on its own; other threads may call this once at their start. Freed when
  // the thread ends.
  static void PrepareCurrentThread();

  // Starts a thread that prepares itself first and then runs `body`: every
  // thread the launcher starts goes through here (or through MyThread).
  static std::thread StartThread(std::function<void()> body);

  // While set, constructors install nothing. For test programs that run
  // WinMain in their own process: there a crash must fail the test, not end
  // it with exit code 0. Returns the previous setting.
  static bool SuppressInstallation(bool suppress);

 protected:
  // Formats `dumpPath` from `exeDir`, `exeName` and `dumpTime`.
  virtual void BuildDumpPath();
  // The extra data to add to the dump: none.
  virtual const platform::CrashDumpUserStreams* UserStreams();
  // The extra text of the question: "".
  virtual const char* ExtraMessage();
  // Finds the dump writer: platform::WriteCrashDump, which is always linked
  // in. Subclasses may report it missing.
  virtual DumpWriterLookup LocateDumpWriter();

  platform::CrashContext exceptionInfo;  // the crash being handled
  int64_t dumpTime = 0;                  // seconds since 1970, taken at the crash
  char dumpPath[kPathCapacity] = {};
  char exeDir[kPathCapacity] = {};  // with its trailing separator
  char exeName[kPathCapacity] = {};
  bool quiet = false;

 private:
  // Writes the dump and ends the process with exit code 0.
  // `machineContext` is the handler's ucontext_t (null: no registers).
  [[noreturn]] void WriteDump(int signalNumber, const siginfo_t* info, const void* machineContext);
  bool ReadProgramFile();

  // Empty: the running executable.
  char programFile_[kPathCapacity] = {};
  // The texts for the desktop, with their room reserved at installation so
  // that the handler does not touch the heap.
  std::string questionText_;
  std::string messageText_;
};
