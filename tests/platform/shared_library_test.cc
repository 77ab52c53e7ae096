#include "platform/shared_library.h"

#include <gtest/gtest.h>

#include <utility>

#include "tests/support/temp_dir.h"

namespace {

using namespace platform;

TEST(SharedLibraryTest, MapsWindowsNames) {
  EXPECT_EQ(SharedLibraryFileName("Tidewell.dll"), "libTidewell.so");
  EXPECT_EQ(SharedLibraryFileName("Register.DLL"), "libRegister.so");
  EXPECT_EQ(SharedLibraryFileName("Plain"), "libPlain.so");
}

TEST(SharedLibraryTest, LoadsFindsAndUnloads) {
  Result<SharedLibrary> loaded = SharedLibrary::Load(VELMOR_TEST_PLUGIN_PATH);
  ASSERT_TRUE(loaded) << loaded.error().message;
  SharedLibrary library = loaded.release();
  using AnswerFunction = int (*)();
  Result<void*> answer = library.Symbol("VelmorTestPluginAnswer");
  ASSERT_TRUE(answer);
  EXPECT_EQ(reinterpret_cast<AnswerFunction>(answer.value())(), 42);
  Result<void*> missing = library.Symbol("NoSuchExport");
  EXPECT_FALSE(missing);
  EXPECT_FALSE(missing.error().message.empty());
  // Ownership moves; the moved-from owner is empty and unloads nothing.
  SharedLibrary moved = std::move(library);
  EXPECT_TRUE(moved);
  EXPECT_FALSE(library);  // NOLINT(bugprone-use-after-move): the moved-from state is tested
  moved.Reset();
  EXPECT_FALSE(moved);
  library.Reset();
}

TEST(SharedLibraryTest, RefusesMissingAndBrokenFiles) {
  testing_support::TempDir dir;
  Result<SharedLibrary> missing = SharedLibrary::Load(dir.File("libMissing.so"));
  EXPECT_FALSE(missing);
  EXPECT_FALSE(missing.error().message.empty());
  testing_support::WriteFile(dir.File("libBroken.so"),
                             "\x7f"
                             "ELF not really a library");
  EXPECT_FALSE(SharedLibrary::Load(dir.File("libBroken.so")));
  EXPECT_FALSE(SharedLibrary::Load(""));
  EXPECT_FALSE(SharedLibrary().Symbol("VelmorTestPluginAnswer"));
}

}  // namespace
