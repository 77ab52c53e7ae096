// What the update road shows while it runs on the update thread: the
// Enter-game button, the update panel's progress and its version text.
//
// Each function hands its change to the UI thread (ChildWindowHost::
// PostToWindows) and returns at once: the road never waits for the windows.
// Nothing is handed over once shut-down has asked the workers to stop. A
// window or control missing when the change runs is skipped.
#pragma once

#include <wx/string.h>

class ChildWindowHost;

// Enter game enabled or disabled.
void ShowEnterGameEnabled(ChildWindowHost& frame, bool enabled);

// After an update: Enter game is enabled only when a server is chosen (all
// four chosen-server strings non-empty) as the change runs, disabled
// otherwise.
void ApplyEnterGameRule(ChildWindowHost& frame);

// A finished version check: the bar at value 100 and the image at its end;
// the percentage text stays as it is.
void ShowVersionCheckFinished(ChildWindowHost& frame);

// The panel's percentage, bar and image for `percent`. Progress comes far
// more often than a screen shows it: at most one such change waits at a
// time, and it shows the newest percentage when it runs.
void ShowUpdateProgress(ChildWindowHost& frame, float percent);

// The panel's "CurVersionTxt".
void ShowInstalledVersion(ChildWindowHost& frame, const wxString& version);
