#include "platform/shared_library.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

using namespace platform;

TEST(SharedLibraryTest, MapsWindowsNames) {
  EXPECT_EQ(SharedLibraryFileName("Tidewell.dll"), "libTidewell.so");
  EXPECT_EQ(SharedLibraryFileName("Register.DLL"), "libRegister.so");
  EXPECT_EQ(SharedLibraryFileName("Plain"), "libPlain.so");
}

TEST(SharedLibraryTest, LoadsFindsAndUnloads) {
  SharedLibrary* library = LoadSharedLibrary(VELMOR_TEST_PLUGIN_PATH);
  ASSERT_NE(library, nullptr) << LastSharedLibraryError();
  using AnswerFunction = int (*)();
  auto answer = reinterpret_cast<AnswerFunction>(FindSymbol(library, "VelmorTestPluginAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(FindSymbol(library, "NoSuchExport"), nullptr);
  EXPECT_FALSE(LastSharedLibraryError().empty());
  UnloadSharedLibrary(library);
  UnloadSharedLibrary(nullptr);
}

TEST(SharedLibraryTest, RefusesMissingAndBrokenFiles) {
  testing_support::TempDir dir;
  EXPECT_EQ(LoadSharedLibrary(dir.File("libMissing.so")), nullptr);
  EXPECT_FALSE(LastSharedLibraryError().empty());
  testing_support::WriteFile(dir.File("libBroken.so"), "\x7f" "ELF not really a library");
  EXPECT_EQ(LoadSharedLibrary(dir.File("libBroken.so")), nullptr);
  EXPECT_EQ(LoadSharedLibrary(""), nullptr);
  EXPECT_EQ(FindSymbol(nullptr, "VelmorTestPluginAnswer"), nullptr);
}

}  // namespace
