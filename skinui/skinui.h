// The whole user-interface layer in one include.
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
