// A program directory with its run log and progress counters, as the
// installation is given them by the update road.
#pragma once

#include <wx/string.h>

#include <cstdint>

#include "launcher/packages/installation.h"
#include "launcher/system/run_log.h"

struct InstallPlace {
  wxString programDir;
  RunLogHandle logTarget{nullptr};
  uint32_t installTotalBytes = 0;
  uint32_t installDoneBytes = 0;

  InstallTarget Target() { return {programDir, logTarget, installTotalBytes, installDoneBytes}; }
};
