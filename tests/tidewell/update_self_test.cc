// Replacing the library's own file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
  ASSERT_TRUE(
      ServeAndLoad("<u>" + SelfElement(Md5Of("old library"), "libTidewell.so") + "</u>", "1"));
  EXPECT_FALSE(patch.UpdateSelf());
  EXPECT_EQ(server.RequestCount("/new/lib.so"), 0);
}

TEST_F(UpdateSelfTest, NewLibraryIsANewFileAndTheOldStaysReadable) {
  // The running library stays mapped from its old file: the new one must
  // take the name without writing into the old file.
  const int oldFile = open(dir.File("libTidewell.so").c_str(), O_RDONLY);
  ASSERT_GE(oldFile, 0);
  struct stat before {};
  ASSERT_EQ(fstat(oldFile, &before), 0);
  ASSERT_TRUE(
      ServeAndLoad("<u>" + SelfElement(Md5Of("new library"), "libTidewell.so") + "</u>", "1"));
  ASSERT_TRUE(patch.UpdateSelf());

  char buffer[64] = {};
  const ssize_t count = pread(oldFile, buffer, sizeof(buffer), 0);
  close(oldFile);
  EXPECT_EQ(std::string(buffer, count > 0 ? static_cast<size_t>(count) : 0), "old library");
  struct stat after {};
  ASSERT_EQ(stat(dir.File("libTidewell.so").c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(ReadFile(dir.File("libTidewell.so")), "new library");
  EXPECT_TRUE(testing_support::NamesEndingIn(dir.path(), ".download").empty());
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].path, dir.File("libTidewell.so"));
}

TEST_F(UpdateSelfTest, FailedDownloadKeepsTheOldLibrary) {
  server.Serve("/new/lib.so", HttpResponse(404, "not here"));
  ASSERT_TRUE(
      ServeAndLoad("<u>" + SelfElement(Md5Of("new library"), "libTidewell.so") + "</u>", "1"));
  EXPECT_FALSE(patch.UpdateSelf());
  EXPECT_EQ(server.RequestCount("/new/lib.so"), 10);
  EXPECT_TRUE(testing_support::NamesEndingIn(dir.path(), ".download").empty());
  EXPECT_TRUE(calls.empty());

  // A server that cannot be reached is no different.
  ASSERT_TRUE(ServeAndLoad("<u><Tidewell hash=\"" + Md5Of("new library") +
                               "\" local=\"libTidewell.so\" url=\"http://127.0.0.1:" +
                               std::to_string(testing_support::ClosedLoopbackPort()) +
                               "/lib.so\"/></u>",
                           "1"));
  EXPECT_FALSE(patch.UpdateSelf());
  EXPECT_EQ(ReadFile(dir.File("libTidewell.so")), "old library");
}

TEST_F(UpdateSelfTest, SubDirectoryIsCreatedOneLevel) {
  ASSERT_TRUE(
      ServeAndLoad("<u>" + SelfElement(Md5Of("new library"), "lib\\libTidewell.so") + "</u>", "1"));
  ASSERT_TRUE(patch.UpdateSelf());
  EXPECT_EQ(ReadFile(dir.File("lib/libTidewell.so")), "new library");
}

TEST_F(UpdateSelfTest, IncompleteOrEscapingElementsDoNothing) {
  for (const std::string& element : {std::string("<Tidewell local=\"libTidewell.so\" url=\"x\"/>"),
                                     SelfElement(Md5Of("new library"), ""),
                                     SelfElement(Md5Of("new library"), "../libTidewell.so"),
                                     SelfElement(Md5Of("new library"), "/tmp/libTidewell.so")}) {
    ASSERT_TRUE(ServeAndLoad("<u>" + element + "</u>", "1"));
    EXPECT_FALSE(patch.UpdateSelf()) << element;
  }
  EXPECT_EQ(server.RequestCount("/new/lib.so"), 0);
  EXPECT_EQ(ReadFile(dir.File("libTidewell.so")), "old library");
}

}  // namespace
}  // namespace tidewell_testing
