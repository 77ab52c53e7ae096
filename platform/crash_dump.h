// The crash-dump writer: a plain-text record of a fatal signal that support
// staff can read without special tools. It is called from a signal handler,
// so it uses only async-signal-safe calls (write, open, read, close) plus
// backtrace(), which is safe once PrepareCrashDumpWriter has run.
//
// Format, one item per line, every number in decimal unless noted:
//   Velmor crash dump 1
//   time: <seconds since 1970>
//   process: <process id>
//   thread: <thread id of the crashing thread>
//   signal: <number> <name>
//   code: <si_code>
//   address: 0x<faulting address, hexadecimal>
//   registers:                   the faulting thread's registers at the
//   <name>: 0x<value>            fault, one a line (none without them)
//   stream: <name> <size>        once per user stream, followed by its
//   <size bytes>                 bytes and a line break
//   backtrace:
//   <one line per frame of the crashing thread, as backtrace_symbols_fd>
//   maps:
//   <the contents of /proc/self/maps>
//   end
// A dump without its "end" line was cut short.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace platform {

// Extra data a caller adds to the dump under its own name.
struct CrashDumpUserStream {
  const char* name = "";
  const void* data = nullptr;
  size_t size = 0;
};

// The user streams of one dump; `streams` holds `count` entries.
struct CrashDumpUserStreams {
  const CrashDumpUserStream* streams = nullptr;
  size_t count = 0;
};

struct CrashContext {
  int64_t crashTime = 0;  // seconds since 1970
  pid_t processId = 0;
  pid_t threadId = 0;
  int signalNumber = 0;
  int signalCode = 0;
  const void* faultAddress = nullptr;
  const void* machineContext = nullptr;  // the handler's ucontext_t; null: no registers
  const CrashDumpUserStreams* userStreams = nullptr;  // null: none
};

// The first line of every dump, without its line break.
inline constexpr const char kCrashDumpHeader[] = "Velmor crash dump 1";

// Writes the dump of `context` and of the calling thread to the open file
// `fd`. False when a write failed; errno then tells why, and what was
// written so far stays in the file.
bool WriteCrashDump(int fd, const CrashContext& context);

// Loads what backtrace() needs (it loads the unwinder on first use, which is
// not safe inside a signal handler). Call once before a crash can happen.
void PrepareCrashDumpWriter();

// The id of the calling thread; async-signal-safe.
pid_t CurrentThreadId();

}  // namespace platform
