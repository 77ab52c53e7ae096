// Starting other programs: the game, the self-update program.
#pragma once

#include <string>

#include "platform/error.h"

namespace platform {

// Starts the executable at `path` and does not wait for it. `parameters`
// reaches the program unchanged as its one argument (no argument when it is
// empty); its working directory is ours. The child is detached, so it never
// lingers as a zombie and outlives the launcher. Of our open files it gets
// only `keptDescriptor` (when not -1), under the same number. An error when
// the file cannot be executed.
Status StartProgram(const std::string& path, const std::string& parameters,
                    int keptDescriptor = -1);

// The directory of the running executable, with a trailing separator.
std::string ProgramDirectory();

}  // namespace platform
