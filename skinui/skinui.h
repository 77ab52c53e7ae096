// The whole user-interface layer in one include.
//
// Threads. The window model and the controls are the one source of truth
// and belong to the UI thread, the thread that runs the message loop; a
// drawing backend (skinui_screen/) only mirrors them, on that thread too.
// Debug builds check it in every operation of a window, a paint manager, a
// control and the model (thread_checker.h). A worker thread may call only:
//   - skinui::PostToUiThread and UiTaskRunner::Post, which hand a change of
//     the windows to the UI thread as a task, and skinui::PostMessage and
//     skinui::PostQuitMessage; none of them waits for the UI thread's work;
//   - platform::CurrentDesktop().ShowMessageBox: the box runs on the UI
//     thread and the worker waits for the player's answer, as a modal box
//     makes its caller wait.
// There is no lock around the windows: nothing but the queue's own mutex
// is shared, and it is held for a push or a pop only.
#pragma once

#include "skinui/activex.h"
#include "skinui/button.h"
#include "skinui/container.h"
#include "skinui/control.h"
#include "skinui/dialog_builder.h"
#include "skinui/label.h"
#include "skinui/list.h"
#include "skinui/markup.h"
#include "skinui/paint_manager.h"
#include "skinui/progress.h"
#include "skinui/std_string.h"
#include "skinui/thread_checker.h"
#include "skinui/ui_task_runner.h"
#include "skinui/win_types.h"
#include "skinui/window_system.h"
#include "skinui/window_wnd.h"
