// The export and the patch object as the launcher meets them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "platform/shared_library.h"
#include "tidewell/library_directory.h"
#include "tidewell/live_patch.h"

namespace {

TEST(LibraryEntryTest, SharedLibraryExportsOnlyGetLivePatch) {
  // Resolved at run time the way the launcher does it, from the real file.
  const std::string libraryFile = VELMOR_TIDEWELL_LIBRARY;
  EXPECT_TRUE(wxString(libraryFile).EndsWith("/bin/libTidewell.so")) << libraryFile;
  auto loadedLibrary = platform::SharedLibrary::Load(libraryFile);
  ASSERT_TRUE(loadedLibrary) << loadedLibrary.error().message;
  const platform::SharedLibrary& library = loadedLibrary.value();
  auto symbol = library.Symbol(kGetLivePatchSymbol);
  ASSERT_TRUE(symbol);
  auto function = reinterpret_cast<GetLivePatchFunction>(symbol.value());
  CLivePatch* loaded = function();
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(function(), loaded);
  // The library's own copy, not the one linked into this program.
  EXPECT_NE(loaded, GetLivePatch());
  EXPECT_EQ(loaded->GetPatchVersion(), "");

  // Internal functions and the compiled-in download routine stay private.
  for (const char* hidden :
       {"_ZN8tidewell10ModulePathEv", "_ZN8tidewell16LibraryDirectoryEv",
        "_ZN8tidewell11DirectoryOfERK8wxString", "_ZN13CLivePatchImp10UpdateSelfEv",
        "_ZN3MD58finalizeEv", "_Z18ParseContentLengthPcmmPv"}) {
    EXPECT_FALSE(library.Symbol(hidden)) << hidden;
  }
}

TEST(LibraryDirectoryTest, DirectoryOfTheLibraryFile) {
  EXPECT_EQ(tidewell::DirectoryOf("/opt/game/libTidewell.so"), "/opt/game/");
  EXPECT_EQ(tidewell::DirectoryOf("/libTidewell.so"), "");
  // The library's own file: the file holding the library's code, here this
  // test program.
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  ASSERT_GT(length, 0);
  const std::string program(self, static_cast<size_t>(length));
  EXPECT_EQ(tidewell::ModulePath(), wxString(program));
  EXPECT_EQ(tidewell::DirectoryOf(tidewell::ModulePath()),
            wxString(program.substr(0, program.rfind('/') + 1)));
}

}  // namespace
