// Debug-build checks that an object is used on one thread only: the windows,
// their paint managers and controls belong to the UI thread, and a worker
// that touches one ends the process with the place named. Compiled out when
// NDEBUG is defined, so release builds carry neither the member nor the
// check.
//
//   class Panel {
//     void SetText(...) { SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_); ... }
//     SKINUI_THREAD_CHECKER(threadChecker_);
//   };
//
// A checker is bound to the thread that constructs it; one that is detached
// binds to the next thread that is checked against it.
#pragma once

#include <atomic>
#include <thread>

namespace skinui {

class ThreadChecker {
 public:
  ThreadChecker();
  // Copies and moves start bound to the thread that makes them.
  ThreadChecker(const ThreadChecker&);
  ThreadChecker& operator=(const ThreadChecker&) { return *this; }

  // True on the bound thread; a detached checker binds here and answers true.
  bool CalledOnValidThread() const;
  void DetachFromThread();

 private:
  mutable std::atomic<std::thread::id> bound_;
};

// The UI thread's own checker, for what belongs to no one window: the window
// model, the message loop and the process-wide settings. Detached at first,
// it binds to the first thread that runs such code (the one that makes the
// first window or runs the loop).
ThreadChecker& UiThreadChecker();

// Writes where a check failed to standard error and aborts.
[[noreturn]] void ReportWrongThread(const char* file, int line);

}  // namespace skinui

#ifndef NDEBUG
#define SKINUI_THREAD_CHECKER(name) ::skinui::ThreadChecker name
#define SKINUI_DCHECK_CALLED_ON_VALID_THREAD(name) \
  ((name).CalledOnValidThread() ? (void)0 : ::skinui::ReportWrongThread(__FILE__, __LINE__))
#define SKINUI_DETACH_FROM_THREAD(name) (name).DetachFromThread()
#define SKINUI_DCHECK_ON_UI_THREAD() \
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(::skinui::UiThreadChecker())
#else
#define SKINUI_THREAD_CHECKER(name) static_assert(true, "")
#define SKINUI_DCHECK_CALLED_ON_VALID_THREAD(name) ((void)0)
#define SKINUI_DETACH_FROM_THREAD(name) ((void)0)
#define SKINUI_DCHECK_ON_UI_THREAD() ((void)0)
#endif
