// Replacing the library's own file.
#include "tests/tidewell/tidewell_fixture.h"

namespace tidewell_testing {
namespace {

using testing_support::HttpResponse;
using testing_support::ReadFile;

class UpdateSelfTest : public TidewellTest {
 protected:
  void SetUp() override {
    TidewellTest::SetUp();
    testing_support::WriteFile(dir.File("libTidewell.so"), "old library");
    server.Serve("/new/lib.so", HttpResponse(200, "new library"));
  }
  std::string SelfElement(const std::string& hash, const std::string& local) {
    return "<Tidewell hash=\"" + hash + "\" local=\"" + local + "\" url=\"" +
           server.Url("/new/lib.so") + "\"/>";
  }
};

TEST_F(UpdateSelfTest, CurrentLibraryIsLeftAlone) {
  ASSERT_TRUE(ServeAndLoad("<u>" + SelfElement(Md5Of("old library"), "libTidewell.so") + "</u>", "1"));
  EXPECT_FALSE(patch.UpdateSelf());
  EXPECT_EQ(server.RequestCount("/new/lib.so"), 0);
}

TEST_F(UpdateSelfTest, DifferentLibraryIsDownloadedAndReported) {
  ASSERT_TRUE(ServeAndLoad("<u><tidewell/>" + SelfElement(Md5Of("new library"), "libTidewell.so") + "</u>", "1"));
  ASSERT_TRUE(patch.UpdateSelf());
  EXPECT_EQ(ReadFile(dir.File("libTidewell.so")), "new library");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].path, dir.File("libTidewell.so"));
}

TEST_F(UpdateSelfTest, SubDirectoryIsCreatedOneLevel) {
  ASSERT_TRUE(ServeAndLoad("<u>" + SelfElement(Md5Of("new library"), "lib\\libTidewell.so") + "</u>", "1"));
  ASSERT_TRUE(patch.UpdateSelf());
  EXPECT_EQ(ReadFile(dir.File("lib/libTidewell.so")), "new library");
}

TEST_F(UpdateSelfTest, IncompleteOrEscapingElementsDoNothing) {
  for (const std::string& element :
       {std::string("<Tidewell local=\"libTidewell.so\" url=\"x\"/>"),
        SelfElement(Md5Of("new library"), ""), SelfElement(Md5Of("new library"), "../libTidewell.so"),
        SelfElement(Md5Of("new library"), "/tmp/libTidewell.so")}) {
    ASSERT_TRUE(ServeAndLoad("<u>" + element + "</u>", "1"));
    EXPECT_FALSE(patch.UpdateSelf()) << element;
  }
  EXPECT_EQ(server.RequestCount("/new/lib.so"), 0);
  EXPECT_EQ(ReadFile(dir.File("libTidewell.so")), "old library");
}

}  // namespace
}  // namespace tidewell_testing
