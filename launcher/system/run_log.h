// run.log: the launcher's diagnostic log in its own directory, written
// through wxWidgets logging from every thread.
//
// Prefixed entries ("launcher(<line>): text", <line> the entry's own number) are written only while
// the run log is open (its handle non-null); the finished text is handed to the logging library as
// the argument of "%s", so a "%" in a path is written unchanged. Plain entries go to the logging
// library whether or not the run log is open.
//
// Entries from worker threads reach the file at once and in order: wxWidgets
// would otherwise hold them back until the main thread flushes its queue.
#pragma once

#include <wx/string.h>

#include <atomic>

class wxLog;

// The handle every writer of prefixed entries holds: the open run-log target,
// null while no run log is open. The frame keeps the launcher's one handle.
using RunLogHandle = std::atomic<wxLog*>;

// Opens (truncates) InstancePath() + "run.log" and makes it the active log
// target, kept in `log`. When the file cannot be opened the launcher runs
// without a run log and `log` stays null.
void OpenRunLog(RunLogHandle& log);

// Shut-down step: detaches the target, deletes it and nulls `log`. Waits for
// an entry that another thread is writing at that moment; entries issued
// afterwards are skipped.
void CloseRunLog(RunLogHandle& log);

// Plain entries, no source prefix.
void LogPlainError(const wxString& text);
void LogPlainMessage(const wxString& text);

// Every fixed failure line is followed at once by one entry that says why
// it failed ("HTTP 404 from <url>", "disk full writing <file>"), so that a
// publisher reading a player's log knows what failed. After a plain line it
// is the plain error "cause: <why>"; after a prefixed one, RUNLOG_CAUSE.
void LogPlainCause(const wxString& why);

namespace runlog {

enum class Level { Message, Error };

inline constexpr const char kSourceName[] = "launcher";

// "launcher(<line>):" + separator + the formatted entry text, formatted once.
template <typename... Args>
wxString FormatPrefixed(const char* separator, int line, const wxString& format,
                        const Args&... args) {
  return wxString::Format(wxString("%s(%d):") + separator + format, kSourceName, line, args...);
}

bool IsOpen(const RunLogHandle& log);

// "cause: <why>" ("cause: not known" for an empty `why`).
wxString CauseText(const wxString& why);

// Writes a finished prefixed text when `log` is still set.
void WritePrefixed(RunLogHandle& log, Level level, const wxString& text);

}  // namespace runlog

// RUNLOG_MESSAGE(log, line, "text %s", arg) writes "launcher(<line>): text
// ...". Each entry carries its own fixed number, the one support staff know
// it by, whichever of our files writes it. Extra blanks after the colon go at
// the start of the format. The _TIGHT forms write the text right after the
// colon ("launcher(<line>):process file is %s!").
#define RUNLOG_WRITE_(log, level, separator, line, ...)                                \
  do {                                                                                 \
    RunLogHandle& runlogHandle_ = (log);                                               \
    if (::runlog::IsOpen(runlogHandle_))                                               \
      ::runlog::WritePrefixed(runlogHandle_, level,                                    \
                              ::runlog::FormatPrefixed(separator, line, __VA_ARGS__)); \
  } while (0)

#define RUNLOG_MESSAGE(log, line, ...) \
  RUNLOG_WRITE_(log, ::runlog::Level::Message, " ", line, __VA_ARGS__)
#define RUNLOG_ERROR(log, line, ...) \
  RUNLOG_WRITE_(log, ::runlog::Level::Error, " ", line, __VA_ARGS__)
#define RUNLOG_MESSAGE_TIGHT(log, line, ...) \
  RUNLOG_WRITE_(log, ::runlog::Level::Message, "", line, __VA_ARGS__)
#define RUNLOG_ERROR_TIGHT(log, line, ...) \
  RUNLOG_WRITE_(log, ::runlog::Level::Error, "", line, __VA_ARGS__)

// RUNLOG_CAUSE(log, line, why) right after the failure line of number
// `line` writes "launcher(<line>): cause: <why>" at error level, under the
// same number, so that it reads as that line's cause.
#define RUNLOG_CAUSE(log, line, why) \
  RUNLOG_WRITE_(log, ::runlog::Level::Error, " ", line, "%s", ::runlog::CauseText(why))
