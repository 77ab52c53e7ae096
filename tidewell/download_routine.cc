#include "tidewell/download_routine.h"

#include <atomic>

#include "download/download_file.h"

namespace tidewell {
namespace {

std::atomic<DownloadRoutine> g_routine{&DownloadFile};

}  // namespace

DownloadRoutine CurrentDownloadRoutine() { return g_routine.load(); }

DownloadRoutine SetDownloadRoutineForTesting(DownloadRoutine routine) {
  return g_routine.exchange(routine ? routine : &DownloadFile);
}

}  // namespace tidewell
