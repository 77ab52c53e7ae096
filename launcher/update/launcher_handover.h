// The hand-over of a pending self-update to the updater (launcherupdate.exe)
// that its package brought. The launcher version the package brings is not
// recorded here: the updater records it in version.ini once it has installed
// the launcher, so that an updater that fails, is killed or cannot run at
// all leaves the old version recorded and the next start fetches the
// package again.
#pragma once

#include <wx/string.h>

class LauncherFrameWnd;

// The note in the package directory that tells the updater which launcher
// version to record once it has installed the package (the updater skips
// it when it installs; launcherupdate/package_install.h names it too).
inline constexpr char kLauncherVersionNote[] = "launcherupdate.version";

// Set by the updater for the launcher it starts again after it could not
// install the package: this run does not hand over again (that would only
// repeat the failure); the next start tries anew.
inline constexpr char kLauncherUpdateFailedVariable[] = "VELMOR_LAUNCHER_UPDATE_FAILED";

// When a self-update is pending: notes `launcherVersion` (when not empty)
// for the updater, starts it with the one parameter string (a double quote,
// the package directory, "*", the program directory) and the update road's
// lock handed on, stops the update and asks the launcher to end. When the
// updater cannot be started, or failed a moment ago, the update is given up
// for this run instead (logged; Enter game enabled) and the launcher goes on.
void HandOverToLauncherUpdater(LauncherFrameWnd& frame, const wxString& launcherVersion);
