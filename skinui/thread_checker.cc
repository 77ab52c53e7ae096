#include "skinui/thread_checker.h"

#include <cstdio>
#include <cstdlib>

namespace skinui {

ThreadChecker::ThreadChecker() : bound_(std::this_thread::get_id()) {}

ThreadChecker::ThreadChecker(const ThreadChecker&) : ThreadChecker() {}

bool ThreadChecker::CalledOnValidThread() const {
  const std::thread::id me = std::this_thread::get_id();
  std::thread::id bound = bound_.load();
  if (bound == std::thread::id()) bound_.compare_exchange_strong(bound, me);
  return bound_.load() == me;
}

void ThreadChecker::DetachFromThread() { bound_.store(std::thread::id()); }

ThreadChecker& UiThreadChecker() {
  // Never destroyed: the check may run while the process exits.
  static ThreadChecker* checker = [] {
    auto* made = new ThreadChecker;
    made->DetachFromThread();
    return made;
  }();
  return *checker;
}

void ReportWrongThread(const char* file, int line) {
  std::fprintf(stderr,
               "%s(%d): used off its thread (windows and controls belong to the UI thread)\n", file,
               line);
  std::fflush(stderr);
  std::abort();
}

}  // namespace skinui
