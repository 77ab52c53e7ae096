// Only one launcher at a time goes down the update road of a program
// directory: two would merge the same index files twice and record versions
// whose files the other is still replacing. The update thread holds this
// lock from before it sweeps what an earlier run left to its own end; a
// self-update hands it on to the updater, which installs under it.
#pragma once

#include "platform/directory_lock.h"

// The process's lock on its program directory's update road.
platform::DirectoryLock& UpdateRoadLock();
