// The export and the patch object as the launcher meets them.
#include <gtest/gtest.h>

#include "platform/shared_library.h"
#include "tidewell/library_directory.h"
#include "tidewell/live_patch.h"

namespace {

TEST(LibraryEntryTest, HandsOutOneObjectUnderThePlainExportName) {
  CLivePatch* first = GetLivePatch();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLivePatch(), first);

  // Resolved at run time the way the launcher does it.
  const wxString libraryFile = tidewell::ModulePath();
  EXPECT_TRUE(libraryFile.EndsWith("/libTidewell.so")) << libraryFile;
  platform::SharedLibrary* library = platform::LoadSharedLibrary(libraryFile.ToStdString());
  ASSERT_NE(library, nullptr) << platform::LastSharedLibraryError();
  auto function = reinterpret_cast<GetLivePatchFunction>(
      platform::FindSymbol(library, kGetLivePatchSymbol));
  ASSERT_NE(function, nullptr);
  EXPECT_EQ(function(), first);
  platform::UnloadSharedLibrary(library);
}

TEST(LibraryEntryTest, FreshObjectStartsEmpty) {
  CLivePatch* patch = GetLivePatch();
  EXPECT_EQ(patch->GetCurrentVersion(), "");
  EXPECT_EQ(patch->GetPatchVersion(), "");
  EXPECT_EQ(patch->GetLauncherVersion(), "");
  EXPECT_EQ(patch->GetFileSize(), 0);
  EXPECT_EQ(patch->statusCallback, nullptr);
  EXPECT_EQ(patch->progressCallback, nullptr);
  EXPECT_EQ(patch->statusText[0], L'\0');
  // Nothing loaded: nothing to do, and no status call (none is installed).
  EXPECT_TRUE(patch->ApplyPatches("1.0", "1.0"));
  EXPECT_FALSE(patch->UpdateSelf());
}

TEST(LibraryDirectoryTest, OverrideAndItsRules) {
  tidewell::SetModulePathForTesting("/opt/game/libTidewell.so");
  EXPECT_EQ(tidewell::LibraryDirectory(), "/opt/game/");
  tidewell::SetModulePathForTesting("/libTidewell.so");
  EXPECT_EQ(tidewell::LibraryDirectory(), "");
  tidewell::SetModulePathForTesting("");
  EXPECT_TRUE(tidewell::LibraryDirectory().EndsWith("/bin/"));
}

}  // namespace
