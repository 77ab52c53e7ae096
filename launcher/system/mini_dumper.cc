#include "launcher/system/mini_dumper.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>

#include "platform/desktop.h"
#include "platform/file_descriptor.h"
#include "platform/fresh_file.h"
#include "platform/signal_safe_text.h"

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t kFatalSignalCount = sizeof kFatalSignals / sizeof kFatalSignals[0];
constexpr size_t kAlternateStackSize = 256 * 1024;

std::atomic<MiniDumper*> g_installed{nullptr};
// The thread that is handling a crash, 0 when none. Taken before the
// installed dumper is read, so that the dumper's destructor can tell whether
// a handler may still be using it.
std::atomic<pid_t> g_handlingThread{0};
std::atomic<bool> g_installationSuppressed{false};
struct sigaction g_previousActions[kFatalSignalCount];

static_assert(std::atomic<MiniDumper*>::is_always_lock_free, "used in a signal handler");
static_assert(std::atomic<pid_t>::is_always_lock_free, "used in a signal handler");

// One alternate signal stack per thread that asked for it.
class AlternateStack {
 public:
  AlternateStack() : memory_(new char[kAlternateStackSize]) {
    stack_t stack{};
    stack.ss_sp = memory_.get();
    stack.ss_size = kAlternateStackSize;
    installed_ = sigaltstack(&stack, nullptr) == 0;
  }
  ~AlternateStack() {
    if (!installed_) return;
    stack_t stack{};
    stack.ss_flags = SS_DISABLE;
    sigaltstack(&stack, nullptr);
  }
  AlternateStack(const AlternateStack&) = delete;
  AlternateStack& operator=(const AlternateStack&) = delete;

 private:
  std::unique_ptr<char[]> memory_;
  bool installed_ = false;
};

thread_local std::unique_ptr<AlternateStack> t_alternateStack;

void SleepBriefly() {
  timespec pause{0, 1000000};
  nanosleep(&pause, nullptr);
}

void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_sigaction = &MiniDumper::Filter;
  sigemptyset(&action.sa_mask);
  // SA_NODEFER: a crash inside the handler re-enters it (and ends the
  // process there) instead of being killed by the blocked signal.
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  for (size_t i = 0; i < kFatalSignalCount; ++i) {
    sigaction(kFatalSignals[i], &action, &g_previousActions[i]);
  }
}

void RestoreSignalHandlers() {
  for (size_t i = 0; i < kFatalSignalCount; ++i) {
    sigaction(kFatalSignals[i], &g_previousActions[i], nullptr);
  }
}

// SA_NODEFER already leaves them open; this also covers a signal mask set
// by whoever runs the handler for us (sanitizers do).
void UnblockFatalSignals() {
  sigset_t fatal;
  sigemptyset(&fatal);
  for (int signalNumber : kFatalSignals) sigaddset(&fatal, signalNumber);
  pthread_sigmask(SIG_UNBLOCK, &fatal, nullptr);
}

// The signal's own default action: the process ends by the signal.
void RunDefaultAction(int signalNumber) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signalNumber, &action, nullptr);
  raise(signalNumber);
}

void CopyText(char* target, const char* source) {
  const size_t length = strnlen(source, MiniDumper::kPathCapacity - 1);
  memcpy(target, source, length);
  target[length] = '\0';
}

const std::string kNoCaption;

// Only the desktop can ask or tell the user; see the header on its safety.
// `room` has its capacity reserved, so the copy needs no heap.
platform::MessageBoxResult ShowBox(const platform::SignalSafeText& text, std::string& room,
                                   platform::MessageBoxButtons buttons) {
  room.assign(text.c_str(), text.size());
  return platform::CurrentDesktop().ShowMessageBox(room, kNoCaption, buttons);
}

}  // namespace

MiniDumper::MiniDumper(bool quiet) : MiniDumper(quiet, std::string()) {}

MiniDumper::MiniDumper(bool quietFlag, const std::string& programFile) {
  if (g_installationSuppressed.load()) return;
  MiniDumper* expected = nullptr;
  if (!g_installed.compare_exchange_strong(expected, this)) return;
  CopyText(programFile_, programFile.c_str());
  quiet = quietFlag;
  questionText_.reserve(platform::SignalSafeText::kCapacity);
  messageText_.reserve(platform::SignalSafeText::kCapacity);
  PrepareCurrentThread();
  platform::PrepareCrashDumpWriter();
  InstallSignalHandlers();
}

MiniDumper::~MiniDumper() {
  MiniDumper* expected = this;
  if (!g_installed.compare_exchange_strong(expected, nullptr)) return;
  RestoreSignalHandlers();
  // A handler that took the crash before the pointer was cleared is using
  // this object; it ends the process, so wait for that rather than free it.
  while (g_handlingThread.load() != 0) SleepBriefly();
}

MiniDumper* MiniDumper::InstalledDumper() { return g_installed.load(); }

void MiniDumper::PrepareCurrentThread() {
  if (!t_alternateStack) t_alternateStack = std::make_unique<AlternateStack>();
}

std::thread MiniDumper::StartThread(std::function<void()> body) {
  return std::thread([body = std::move(body)] {
    PrepareCurrentThread();
    body();
  });
}

bool MiniDumper::SuppressInstallation(bool suppress) {
  return g_installationSuppressed.exchange(suppress);
}

void MiniDumper::Filter(int signalNumber, siginfo_t* info, void* context) {
  const pid_t self = platform::CurrentThreadId();
  pid_t owner = 0;
  if (!g_handlingThread.compare_exchange_strong(owner, self)) {
    // Crashed again inside the handler: end as the handler would have.
    if (owner == self) _exit(0);
    // Another thread is writing its dump and will end the process; should
    // it fall back to the default action instead, take the crash again.
    while (g_handlingThread.load() != 0) SleepBriefly();
    Filter(signalNumber, info, context);
    return;
  }
  UnblockFatalSignals();
  MiniDumper* dumper = g_installed.load();
  if (!dumper) {
    g_handlingThread.store(0);
    RunDefaultAction(signalNumber);
    return;
  }
  dumper->WriteDump(signalNumber, info, context);
}

bool MiniDumper::ReadProgramFile() {
  if (programFile_[0] != '\0') {
    CopyText(exeDir, programFile_);
    return true;
  }
  const ssize_t length = readlink("/proc/self/exe", exeDir, kPathCapacity - 1);
  if (length <= 0) {
    exeDir[0] = '\0';
    return false;
  }
  exeDir[length] = '\0';
  return true;
}

void MiniDumper::WriteDump(int signalNumber, const siginfo_t* info, const void* machineContext) {
  dumpTime = static_cast<int64_t>(time(nullptr));
  exceptionInfo = platform::CrashContext{};
  exceptionInfo.crashTime = dumpTime;
  exceptionInfo.processId = getpid();
  exceptionInfo.threadId = platform::CurrentThreadId();
  exceptionInfo.signalNumber = signalNumber;
  exceptionInfo.machineContext = machineContext;
  if (info) {
    exceptionInfo.signalCode = info->si_code;
    exceptionInfo.faultAddress = info->si_addr;
  }

  if (ReadProgramFile()) {
    char* lastSeparator = strrchr(exeDir, '/');
    if (lastSeparator) {
      CopyText(exeName, lastSeparator + 1);
      lastSeparator[1] = '\0';
    }
  }

  platform::SignalSafeText message;
  const DumpWriterLookup writer = LocateDumpWriter();
  if (!writer.found) {
    message.Append("DBGHELP.DLL not found");
  } else if (!writer.write) {
    message.Append("DBGHELP.DLL too old");
  } else {
    BuildDumpPath();
    if (!quiet) {
      platform::SignalSafeText question;
      question.Append("There was an unexpected error:\n\n").Append(ExtraMessage());
      question.Append("\nWould you like to save a diagnostic file?\n\nFilename: ").Append(dumpPath);
      const platform::MessageBoxResult answer =
          ShowBox(question, questionText_, platform::MessageBoxButtons::YesNo);
      if (answer != platform::MessageBoxResult::Yes) _exit(0);
    }
    // Never through a link planted under the dump's name.
    const platform::FileDescriptor file(platform::CreateFreshFile(dumpPath, false));
    if (!file.ok()) {
      const int error = errno;
      message.Append("Failed to create dump file '").Append(dumpPath).Append("' (error ");
      message.AppendDecimal(error).Append(")");
    } else {
      exceptionInfo.userStreams = UserStreams();
      if (!writer.write(file.get(), exceptionInfo)) {
        const int error = errno;
        message.Append("Failed to save dump file to '").Append(dumpPath).Append("' (error ");
        message.AppendDecimal(error).Append(")");
      }
    }
  }
  if (message.size() > 0 && !quiet) ShowBox(message, messageText_, platform::MessageBoxButtons::Ok);
  _exit(0);
}

void MiniDumper::BuildDumpPath() {
  platform::SignalSafeText path;
  path.Append(exeDir).Append(exeName).Append(".");
  path.AppendDecimal(static_cast<int32_t>(static_cast<uint32_t>(dumpTime)));
  path.Append(".dmp");
  // A path cut short would name some other file: leave none, so that
  // creating the file fails.
  CopyText(dumpPath, path.truncated() ? "" : path.c_str());
}

const platform::CrashDumpUserStreams* MiniDumper::UserStreams() { return nullptr; }

const char* MiniDumper::ExtraMessage() { return ""; }

MiniDumper::DumpWriterLookup MiniDumper::LocateDumpWriter() {
  return DumpWriterLookup{true, &platform::WriteCrashDump};
}
