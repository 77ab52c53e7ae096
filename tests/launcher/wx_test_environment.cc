// wxWidgets must be initialised for its logging, config and file classes:
// the launcher test program does it once around all tests, on the main
// thread, as the launcher's frame does at start-up.
#include <gtest/gtest.h>
#include <wx/init.h>

#include "launcher/system/mini_dumper.h"

namespace {

class WxEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // Start-up installs the crash-dump handler, which ends a crashing
    // process with exit code 0: a crash in a test must fail it instead.
    MiniDumper::SuppressInstallation(true);
    ASSERT_TRUE(wxInitialize());
  }
  void TearDown() override { wxUninitialize(); }
};

[[maybe_unused]] ::testing::Environment* const g_wxEnvironment =
    ::testing::AddGlobalTestEnvironment(new WxEnvironment);

}  // namespace
