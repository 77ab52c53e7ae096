#include "platform/crash_dump.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_descriptor.h"
#include "platform/signal_safe_text.h"

namespace platform {
namespace {

constexpr int kMaxFrames = 128;

bool WriteText(int fd, const SignalSafeText& text) {
  return WriteAll(fd, text.c_str(), text.size());
}

const char* SignalName(int signalNumber) {
  switch (signalNumber) {
    case SIGSEGV:
      return "SIGSEGV";
    case SIGBUS:
      return "SIGBUS";
    case SIGFPE:
      return "SIGFPE";
    case SIGILL:
      return "SIGILL";
    case SIGABRT:
      return "SIGABRT";
    default:
      return "unknown";
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

struct NamedRegister {
  const char* name;
  uintptr_t value;
};

// The registers of the interrupted thread as the kernel saved them.
size_t ReadRegisters(const ucontext_t& context, NamedRegister* out, size_t capacity) {
  size_t count = 0;
  const auto add = [&](const char* name, uintptr_t value) {
    if (count < capacity) out[count++] = NamedRegister{name, value};
  };
#if defined(__x86_64__)
  const greg_t* g = context.uc_mcontext.gregs;
  add("rip", static_cast<uintptr_t>(g[REG_RIP]));
  add("rsp", static_cast<uintptr_t>(g[REG_RSP]));
  add("rbp", static_cast<uintptr_t>(g[REG_RBP]));
  add("rax", static_cast<uintptr_t>(g[REG_RAX]));
  add("rbx", static_cast<uintptr_t>(g[REG_RBX]));
  add("rcx", static_cast<uintptr_t>(g[REG_RCX]));
  add("rdx", static_cast<uintptr_t>(g[REG_RDX]));
  add("rsi", static_cast<uintptr_t>(g[REG_RSI]));
  add("rdi", static_cast<uintptr_t>(g[REG_RDI]));
  add("r8", static_cast<uintptr_t>(g[REG_R8]));
  add("r9", static_cast<uintptr_t>(g[REG_R9]));
  add("r10", static_cast<uintptr_t>(g[REG_R10]));
  add("r11", static_cast<uintptr_t>(g[REG_R11]));
  add("r12", static_cast<uintptr_t>(g[REG_R12]));
  add("r13", static_cast<uintptr_t>(g[REG_R13]));
  add("r14", static_cast<uintptr_t>(g[REG_R14]));
  add("r15", static_cast<uintptr_t>(g[REG_R15]));
  add("eflags", static_cast<uintptr_t>(g[REG_EFL]));
#elif defined(__i386__)
  const greg_t* g = context.uc_mcontext.gregs;
  add("eip", static_cast<uintptr_t>(g[REG_EIP]));
  add("esp", static_cast<uintptr_t>(g[REG_ESP]));
  add("ebp", static_cast<uintptr_t>(g[REG_EBP]));
  add("eax", static_cast<uintptr_t>(g[REG_EAX]));
  add("ebx", static_cast<uintptr_t>(g[REG_EBX]));
  add("ecx", static_cast<uintptr_t>(g[REG_ECX]));
  add("edx", static_cast<uintptr_t>(g[REG_EDX]));
  add("esi", static_cast<uintptr_t>(g[REG_ESI]));
  add("edi", static_cast<uintptr_t>(g[REG_EDI]));
  add("eflags", static_cast<uintptr_t>(g[REG_EFL]));
#elif defined(__aarch64__)
  static const char* const kNames[31] = {"x0",  "x1",  "x2",  "x3",  "x4",  "x5",  "x6",  "x7",
                                         "x8",  "x9",  "x10", "x11", "x12", "x13", "x14", "x15",
                                         "x16", "x17", "x18", "x19", "x20", "x21", "x22", "x23",
                                         "x24", "x25", "x26", "x27", "x28", "x29", "x30"};
  add("pc", static_cast<uintptr_t>(context.uc_mcontext.pc));
  add("sp", static_cast<uintptr_t>(context.uc_mcontext.sp));
  for (int i = 0; i < 31; ++i) add(kNames[i], static_cast<uintptr_t>(context.uc_mcontext.regs[i]));
#else
  (void)context;
  (void)add;
#endif
  return count;
}

bool WriteRegisters(int fd, const CrashContext& context) {
  if (!WriteAll(fd, "registers:\n", 11)) return false;
  if (!context.machineContext) return true;
  NamedRegister registers[40];
  const size_t count =
      ReadRegisters(*static_cast<const ucontext_t*>(context.machineContext), registers, 40);
  for (size_t i = 0; i < count; ++i) {
    SignalSafeText text;
    text.Append(registers[i].name).Append(": ").AppendHex(registers[i].value).Append("\n");
    if (!WriteText(fd, text)) return false;
  }
  return true;
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
  FileDescriptor maps(open("/proc/self/maps", O_RDONLY | O_CLOEXEC));
  if (!maps.ok()) return true;  // no /proc: the section stays empty
  char buffer[4096];
  bool ok = true;
  for (;;) {
    const ssize_t got = read(maps.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (!WriteAll(fd, buffer, static_cast<size_t>(got))) {
      ok = false;
      break;
    }
  }
  const int savedErrno = errno;
  maps.Close();
  errno = savedErrno;
  return ok;
}

}  // namespace

bool WriteCrashDump(int fd, const CrashContext& context) {
  return WriteHeader(fd, context) && WriteRegisters(fd, context) && WriteUserStreams(fd, context) &&
         WriteBacktrace(fd) && WriteMemoryMap(fd) && WriteAll(fd, "end\n", 4);
}

void PrepareCrashDumpWriter() {
  void* frame[1];
  backtrace(frame, 1);
}

pid_t CurrentThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

}  // namespace platform
