// The worker stop request is process-wide and stays set once a test asks
// for shut-down; every test starts with it cleared, as a fresh launcher does.
// The retry pauses of the update road are shortened for every test (the
// pacing tests set their own), so that failing servers cost no seconds.
#include <gtest/gtest.h>

#include <chrono>

#include "launcher/system/my_thread.h"
#include "launcher/update/update_road_pacer.h"

namespace {

class WorkerStopReset : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    ResetWorkerStop();
    SetRetryPausesForTesting(std::chrono::milliseconds(1), std::chrono::milliseconds(2));
    SetRetryWaiterForTesting(nullptr);
    UpdateRoadPacer().Reset();
  }
};

[[maybe_unused]] const bool g_registered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new WorkerStopReset);
  return true;
}();

}  // namespace
