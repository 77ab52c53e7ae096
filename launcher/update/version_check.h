// The version check of the update road: loads the update library afresh,
// reads the update manifest and decides whether an update is needed.
#pragma once

#include "platform/error.h"

class RoadPhase;

// One attempt, on the update thread. True when a manifest was loaded; then
// g_pFrame->updateNeeded tells whether the installed game or launcher
// version differs from the manifest's newest, and the patch object carries
// the launcher's callbacks. g_pFrame must be set. The library repeats a
// failed fetch after the pause of `phase`, and gives it up once the phase's
// time is up; without a phase it repeats at once. A failed attempt says why
// (the library that cannot be loaded, the manifest's cause as the library
// tells it); the run log has its line and cause.
platform::Status CheckUpdateVersion(RoadPhase* phase = nullptr);
// The same, told as true or false.
bool CheckVersion(RoadPhase* phase = nullptr);
