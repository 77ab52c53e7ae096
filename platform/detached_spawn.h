// Starting a child program that belongs to nobody: used for the game, the
// self-update program and the browser. Internal to the platform layer.
#pragma once

#include <string>
#include <vector>

#include "platform/error.h"

namespace platform {

// Runs the executable at `path` with `arguments` (argv[1] onwards) in a new
// session, detached through a double fork so that it is never our zombie
// and outlives us. Of our descriptors above 2 it inherits only
// `keptDescriptor` (when not -1), under the same number. Returns once the
// program has been executed, or the errno of the fork or the exec that
// failed.
Status SpawnDetached(const std::string& path, const std::vector<std::string>& arguments,
                     int keptDescriptor = -1);

// The full path of `name` found through PATH, or "" when none is executable.
std::string FindInPath(const std::string& name);

}  // namespace platform
