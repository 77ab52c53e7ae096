// The one pacer of the update road: the version check, the apply phase and
// the library's own transfers wait its growing pauses after a failure.
#pragma once

#include "launcher/system/retry_pacer.h"

RetryPacer& UpdateRoadPacer();

// Handed to the update library as its host pause (HostRetryPause).
bool PauseUpdateRoadRetry();
