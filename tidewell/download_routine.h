// The transfer routine behind every fetch of the library: DownloadFile,
// unless a test or fuzz harness has put another in its place.
#pragma once

#include "download/fetch_file.h"

namespace tidewell {

using DownloadRoutine = TransferRoutine;

// The routine in use; never null.
DownloadRoutine CurrentDownloadRoutine();

// Harness hook: `routine` serves every fetch from now on (nullptr restores
// DownloadFile). Returns the routine it replaces.
DownloadRoutine SetDownloadRoutineForTesting(DownloadRoutine routine);

}  // namespace tidewell
