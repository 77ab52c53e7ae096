// The launcher initialises libcurl once at start-up, before it loads the
// update library; this test program does the same.
#include "tests/support/curl_environment.h"

namespace {

[[maybe_unused]] ::testing::Environment* const kCurlEnvironment =
    testing_support::AddCurlEnvironment();

}  // namespace
