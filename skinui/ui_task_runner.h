// Hands work to the UI thread for one owner that lives there (the launcher's
// frame, a window): a task posted through the runner runs only while the
// runner lives, so the owner may go with its tasks still queued and a task
// that comes up later does nothing.
//
// Threads: Post may be called from any thread and never waits for the UI
// thread's work; the runner is made and destroyed on the UI thread, and
// workers post through it only while it lives (shut-down ends them first).
#pragma once

#include <functional>
#include <memory>

namespace skinui {

class UiTaskRunner {
 public:
  UiTaskRunner();
  ~UiTaskRunner();
  UiTaskRunner(const UiTaskRunner&) = delete;
  UiTaskRunner& operator=(const UiTaskRunner&) = delete;

  // Queues `task` for the message loop (skinui::PostToUiThread): it runs in
  // the order posted, among the loop's other messages and tasks.
  void Post(std::function<void()> task) const;

 private:
  // True while the runner lives; read and written on the UI thread only.
  std::shared_ptr<bool> alive_;
};

}  // namespace skinui
