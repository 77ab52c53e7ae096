#include "launcher/system/run_log.h"

#include <unistd.h>
#include <wx/log.h>
#include <wx/strconv.h>
#include <wx/thread.h>

#include <cstdio>
#include <mutex>

#include "launcher/system/instance_path.h"
#include "platform/fresh_file.h"
#include "platform/stdio_file.h"

namespace {

// The run.log target; owns the open file. Its own lock keeps whole lines
// apart also when wxWidgets itself logs (say a failed file open) while a
// worker writes.
class RunLogTarget : public wxLogStderr {
 public:
  explicit RunLogTarget(platform::StdioFile file)
      : wxLogStderr(file.get(), wxConvUTF8), file_(std::move(file)) {}

 protected:
  void DoLogText(const wxString& msg) override {
    std::lock_guard<std::mutex> lock(mutex_);
    wxLogStderr::DoLogText(msg);
  }

 private:
  platform::StdioFile file_;
  std::mutex mutex_;
};

// Guards the target's life: every entry holds it while it uses the target,
// and CloseRunLog holds it while it deletes the target. It also keeps the
// entries of all threads in the order in which they were issued. Order: it
// is taken before the target's own lock (inside wxWidgets' call), and no
// other lock of ours is taken under either.
std::mutex g_entryMutex;
wxLog* g_openTarget = nullptr;  // the target OpenRunLog installed; guarded

// Entries carry text from packages and the network (file names, list
// entries): a line break or a control character in it would let that text
// start a line of its own, so each is written as an escape.
wxString Escaped(const wxString& text) {
  wxString escaped;
  escaped.reserve(text.length());
  for (const wxUniChar c : text) {
    const wxUint32 code = c.GetValue();
    if (code == '\n') {
      escaped += "\\n";
    } else if (code == '\r') {
      escaped += "\\r";
    } else if (code == '\t') {
      escaped += "\\t";
    } else if (code < 0x20 || code == 0x7F) {
      escaped += wxString::Format("\\x%02x", code);
    } else if ((code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029) {
      escaped += wxString::Format("\\u%04x", code);
    } else {
      escaped += c;
    }
  }
  return escaped;
}

void Emit(runlog::Level level, const wxString& text) {
  const wxString line = Escaped(text);
  if (level == runlog::Level::Error)
    wxLogError("%s", line);
  else
    wxLogMessage("%s", line);
}

// Hands one finished entry to wxWidgets; `target` is the run-log target or
// null. Off the main thread wxWidgets queues records for the main thread to
// flush later, so a worker borrows the target as its own thread target for
// the length of the call and the line is written at once. Caller holds
// g_entryMutex.
void EmitLocked(wxLog* target, runlog::Level level, const wxString& text) {
  if (target == nullptr || wxThread::IsMain()) {
    Emit(level, text);
    return;
  }
  wxLog* previous = wxLog::SetThreadActiveTarget(target);
  Emit(level, text);
  wxLog::SetThreadActiveTarget(previous);
}

}  // namespace

void OpenRunLog(RunLogHandle& log) {
  CloseRunLog(log);  // a second call starts a fresh log
  const wxString path = InstancePath() + "run.log";
  // Never through a link planted under the name.
  platform::StdioFile file = platform::StdioFileOver(
      platform::FileDescriptor(platform::CreateFreshFile(path.utf8_string().c_str(), true)), "w+");
  if (!file) return;
  auto* target = new RunLogTarget(std::move(file));
  {
    std::lock_guard<std::mutex> lock(g_entryMutex);
    log = target;
    g_openTarget = target;
    wxLog::SetActiveTarget(target);
  }
  wxLog::SetTimestamp("%Y-%m-%d %H:%M:%S");
  wxLog::SetLogLevel(6);
  RUNLOG_MESSAGE(log, 212, "%s", "launcher started!");
}

void CloseRunLog(RunLogHandle& log) {
  std::lock_guard<std::mutex> lock(g_entryMutex);
  wxLog* target = log.exchange(nullptr);
  if (target == nullptr) return;
  wxLog* active = wxLog::SetActiveTarget(nullptr);
  if (active != target) wxLog::SetActiveTarget(active);  // someone else's: keep it
  if (g_openTarget == target) g_openTarget = nullptr;
  delete target;
}

void LogPlainError(const wxString& text) {
  std::lock_guard<std::mutex> lock(g_entryMutex);
  EmitLocked(g_openTarget, runlog::Level::Error, text);
}

void LogPlainMessage(const wxString& text) {
  std::lock_guard<std::mutex> lock(g_entryMutex);
  EmitLocked(g_openTarget, runlog::Level::Message, text);
}

void LogPlainCause(const wxString& why) { LogPlainError(runlog::CauseText(why)); }

namespace runlog {

bool IsOpen(const RunLogHandle& log) { return log.load() != nullptr; }

wxString CauseText(const wxString& why) { return "cause: " + (why.empty() ? "not known" : why); }

void WritePrefixed(RunLogHandle& log, Level level, const wxString& text) {
  std::lock_guard<std::mutex> lock(g_entryMutex);
  wxLog* target = log.load();
  if (target == nullptr) return;  // closed since the caller looked
  EmitLocked(target, level, text);
}

}  // namespace runlog
