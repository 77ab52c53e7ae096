#include "tests/support/curl_environment.h"

#include <curl/curl.h>

namespace testing_support {
namespace {

class CurlEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { curl_global_init(CURL_GLOBAL_ALL); }
  void TearDown() override { curl_global_cleanup(); }
};

}  // namespace

::testing::Environment* AddCurlEnvironment() {
  return ::testing::AddGlobalTestEnvironment(new CurlEnvironment);
}

}  // namespace testing_support
