// The launcher's start-up and shut-down around the message loop.
//
// The program directory is the directory of the executable, unless a test
// set another through CPaintManagerUI::SetInstancePath before WinMain.
//
// Environment: VELMOR_LAUNCHER_AUTOCLOSE_MS=<n> closes the main window n
// milliseconds after start-up (demo runs and smoke tests without a display,
// where no player can close it). Whether the windows are real or the
// headless model is decided before WinMain (main.cc, skinui/headless_request.h,
// VELMOR_HEADLESS).
#pragma once

#include "launcher/system/road_environment.h"

// Runs the launcher from start-up to shut-down (with the crash-dump
// handler installed throughout); always 0.
int WinMain();

namespace launcher_main {

inline constexpr const char kAutoCloseVariable[] = "VELMOR_LAUNCHER_AUTOCLOSE_MS";

// Start-up up to the message loop: resources, the frame and its window on
// `environment`, sockets and libcurl, the update thread. False when there is
// no frame (the program ends at once).
bool StartUp(RoadEnvironment& environment);

// Shut-down after the message loop: stops and waits for the workers (as
// long as `environment` allows), deletes the child windows and the log
// target, ends wxWidgets, destroys and frees the frame, ends libcurl.
void ShutDown(RoadEnvironment& environment);

}  // namespace launcher_main
