#include "platform/crash_dump.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_descriptor.h"
#include "platform/signal_safe_text.h"

namespace platform {
namespace {

constexpr int kMaxFrames = 128;

bool WriteText(int fd, const SignalSafeText& text) { return WriteAll(fd, text.c_str(), text.size()); }

const char* SignalName(int signalNumber) {
  switch (signalNumber) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return "unknown";
  }
}

bool WriteHeader(int fd, const CrashContext& context) {
  SignalSafeText text;
  text.Append(kCrashDumpHeader).Append("\n");
  text.Append("time: ").AppendDecimal(context.crashTime).Append("\n");
  text.Append("process: ").AppendDecimal(context.processId).Append("\n");
  text.Append("thread: ").AppendDecimal(context.threadId).Append("\n");
  text.Append("signal: ").AppendDecimal(context.signalNumber).Append(" ");
  text.Append(SignalName(context.signalNumber)).Append("\n");
  text.Append("code: ").AppendDecimal(context.signalCode).Append("\n");
  text.Append("address: ").AppendHex(reinterpret_cast<uintptr_t>(context.faultAddress));
  text.Append("\n");
  return WriteText(fd, text);
}

bool WriteUserStreams(int fd, const CrashContext& context) {
  if (!context.userStreams) return true;
  for (size_t i = 0; context.userStreams->streams && i < context.userStreams->count; ++i) {
    const CrashDumpUserStream& stream = context.userStreams->streams[i];
    const size_t size = stream.data ? stream.size : 0;
    SignalSafeText text;
    text.Append("stream: ").Append(stream.name).Append(" ");
    text.AppendDecimal(static_cast<int64_t>(size)).Append("\n");
    if (!WriteText(fd, text) || !WriteAll(fd, stream.data, size) || !WriteAll(fd, "\n", 1)) {
      return false;
    }
  }
  return true;
}

bool WriteBacktrace(int fd) {
  if (!WriteAll(fd, "backtrace:\n", 11)) return false;
  void* frames[kMaxFrames];
  const int count = backtrace(frames, kMaxFrames);
  // Writes straight to fd with no heap and reports no errors of its own.
  if (count > 0) backtrace_symbols_fd(frames, count, fd);
  return true;
}

bool WriteMemoryMap(int fd) {
  if (!WriteAll(fd, "maps:\n", 6)) return false;
  const int maps = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (maps < 0) return true;  // no /proc: the section stays empty
  char buffer[4096];
  bool ok = true;
  for (;;) {
    const ssize_t got = read(maps, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (!WriteAll(fd, buffer, static_cast<size_t>(got))) {
      ok = false;
      break;
    }
  }
  const int savedErrno = errno;
  close(maps);
  errno = savedErrno;
  return ok;
}

}  // namespace

bool WriteCrashDump(int fd, const CrashContext& context) {
  return WriteHeader(fd, context) && WriteUserStreams(fd, context) && WriteBacktrace(fd) &&
         WriteMemoryMap(fd) && WriteAll(fd, "end\n", 4);
}

void PrepareCrashDumpWriter() {
  void* frame[1];
  backtrace(frame, 1);
}

pid_t CurrentThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

}  // namespace platform
