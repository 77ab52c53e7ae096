// The worker stop request is process-wide and stays set once a test asks
// for shut-down; every test starts with it cleared, as a fresh launcher does.
#include <gtest/gtest.h>

#include "launcher/system/my_thread.h"

namespace {

class WorkerStopReset : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { ResetWorkerStop(); }
};

[[maybe_unused]] const bool g_registered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new WorkerStopReset);
  return true;
}();

}  // namespace
