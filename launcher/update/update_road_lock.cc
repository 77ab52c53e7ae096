#include "launcher/update/update_road_lock.h"

platform::DirectoryLock& UpdateRoadLock() {
  // Never destroyed: the process's end lets go of it.
  static platform::DirectoryLock* const lock = new platform::DirectoryLock;
  return *lock;
}
