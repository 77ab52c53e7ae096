// The launcher initialises libcurl once at start-up, before any download
// and before it loads the update library; a test program that downloads does
// the same through this environment.
#pragma once

#include <gtest/gtest.h>

namespace testing_support {

// Registers a global test environment that calls curl_global_init before the
// first test and curl_global_cleanup after the last. Call it once per test
// program, from a namespace-scope initialiser.
::testing::Environment* AddCurlEnvironment();

}  // namespace testing_support
