// The whole user-interface layer in one include.
//
// Threads. The window model and the controls are the one source of truth;
// a drawing backend (skinui_screen/) only mirrors them, on the UI thread.
// A worker thread may call:
//   - the control setters that change what is shown: SetText, SetVisible,
//     SetEnabled, SetPos, CProgressUI::SetValue, COptionUI::Selected, list
//     Add / RemoveAll, and every getter;
//   - skinui::PostMessage, skinui::PostQuitMessage, skinui::PostToUiThread,
//     skinui::InvalidateRect;
//   - platform::CurrentDesktop().ShowMessageBox (the box runs on the UI
//     thread; the worker waits for the answer without holding the UI lock).
// Each takes the UI lock for a moment at most: the UI thread holds it only
// while it handles one message or paints, and never while it waits (also
// inside modal loops), so a worker never waits for the UI thread's work.
// A worker never calls ShowModal, CreateWindowHandle, DestroyWindow or
// anything of the toolkit, and never holds the UI lock while it waits for
// a file, the network or another thread.
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
#include "skinui/ui_lock.h"
#include "skinui/win_types.h"
#include "skinui/window_system.h"
#include "skinui/window_wnd.h"
