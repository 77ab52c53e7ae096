// What the update road shows while it runs on the update thread: the
// Enter-game button, the update panel's progress and its version text.
//
// Every function takes the UI lock for its whole change, and does nothing
// once shut-down has asked the workers to stop (the windows are about to
// go). A missing window or control is skipped.
#pragma once

#include <wx/string.h>

class ChildWindowHost;

// After an update: Enter game is enabled only when a server is chosen (all
// four chosen-server strings non-empty), disabled otherwise.
void ApplyEnterGameRule(ChildWindowHost& frame);

// A finished version check: the bar at value 100 and the image at its end;
// the percentage text stays as it is.
void ShowVersionCheckFinished(ChildWindowHost& frame);

// The panel's percentage, bar and image for `percent`.
void ShowUpdateProgress(ChildWindowHost& frame, float percent);

// The panel's "CurVersionTxt".
void ShowInstalledVersion(ChildWindowHost& frame, const wxString& version);
