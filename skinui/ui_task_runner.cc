#include "skinui/ui_task_runner.h"

#include "skinui/thread_checker.h"
#include "skinui/window_system.h"

namespace skinui {

UiTaskRunner::UiTaskRunner() : alive_(std::make_shared<bool>(true)) {}

UiTaskRunner::~UiTaskRunner() {
  SKINUI_DCHECK_ON_UI_THREAD();
  *alive_ = false;
}

void UiTaskRunner::Post(std::function<void()> task) const {
  if (!task) return;
  PostToUiThread([alive = alive_, task = std::move(task)] {
    if (*alive) task();
  });
}

}  // namespace skinui
