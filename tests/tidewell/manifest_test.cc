// Loading the update manifest and the versions it names.
#include <unistd.h>

#include <filesystem>

#include "tests/support/misbehaving_server.h"
#include "tests/tidewell/tidewell_fixture.h"

namespace tidewell_testing {
namespace {

using testing_support::PathExists;

class ManifestTest : public TidewellTest {};

TEST_F(ManifestTest, NewestVersionsComeFromTheLastSets) {
  ASSERT_TRUE(
      ServeAndLoad("<update>"
                   "<patch><version value=\"1.1\"/></patch>"
                   "<Launcherpatch><version value=\"5.0\"/></Launcherpatch>"
                   "<PATCH><version value=\"1.3\"/></PATCH>"
                   "<patch><version value=\"1.2\"/></patch>"  // listed last, so newest
                   "<launcherPATCH><version value=\"4.0\"/></launcherPATCH>"
                   "</update>",
                   "1.0"));
  EXPECT_EQ(patch.GetPatchVersion(), "1.2");
  EXPECT_EQ(patch.GetLauncherVersion(), "4.0");
  // The work file is gone after a good parse.
  EXPECT_FALSE(PathExists(dir.File("data/xxurlw/test.gps")));

  // Only the first version child counts; one without a value gives nothing.
  ASSERT_TRUE(
      ServeAndLoad("<u><patch><version value=\"2.0\"/><version value=\"9.9\"/></patch>"
                   "<patch><version/></patch></u>",
                   "1.0"));
  EXPECT_EQ(patch.GetPatchVersion(), "2.0");
}

TEST_F(ManifestTest, VersionSpellingMattersOnlyForOrdinarySets) {
  ASSERT_TRUE(
      ServeAndLoad("<update>"
                   "<patch><Version value=\"2.0\"/></patch>"
                   "<Launcherpatch><Version value=\"3.0\"/></Launcherpatch>"
                   "</update>",
                   "1.0"));
  EXPECT_EQ(patch.GetPatchVersion(), "");
  EXPECT_EQ(patch.GetLauncherVersion(), "3.0");
}

TEST_F(ManifestTest, LaterLoadKeepsTheLauncherVersionWhenNoneIsNamed) {
  ASSERT_TRUE(
      ServeAndLoad("<u><patch><version value=\"1.1\"/></patch>"
                   "<Launcherpatch><version value=\"3.0\"/></Launcherpatch></u>",
                   "1.0"));
  ASSERT_TRUE(ServeAndLoad("<u/>", "1.1"));
  EXPECT_EQ(patch.GetPatchVersion(), "");
  EXPECT_EQ(patch.GetLauncherVersion(), "3.0");
  EXPECT_EQ(patch.GetCurrentVersion(), "1.1");
}

// Nested beyond any manifest: refused before a tree is built (freeing one
// would overflow the stack).
std::string NestedDocument(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<p>";
  for (int i = 0; i < depth; ++i) text += "</p>";
  return text;
}

TEST_F(ManifestTest, MalformedManifestFailsAndKeepsThePreviousOne) {
  const struct {
    const char* name;
    std::string manifest;
    const char* clientVersion;
  } refused[] = {
      {"cut short", "<u><patch>", "1.5"},
      {"nested 300,000 deep, 2 MB", NestedDocument(300000), "1.5"},
      {"nested 33 deep", NestedDocument(33), "1.5"},
      // A first installation comes from a base set, which this one lacks.
      {"first installation without base", "<u><!-- --><patch><version value=\"2\"/></patch></u>",
       "0.0"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(ServeAndLoad("<u><patch><version value=\"1.1\"/></patch></u>", "1.0"));
    EXPECT_FALSE(ServeAndLoad(c.manifest, c.clientVersion));
    EXPECT_EQ(patch.GetPatchVersion(), "1.1");
    EXPECT_EQ(patch.GetCurrentVersion(), "1.0");
  }
  EXPECT_TRUE(ServeAndLoad(NestedDocument(32), "1.0"));
  EXPECT_TRUE(ServeAndLoad("<u><!-- --><base/></u>", "0.0"));

  // The previous manifest is still the one applied.
  const std::string hash = ServeFile("f.bin", "data");
  ASSERT_TRUE(ServeAndLoad("<u><patch><version value=\"1.1\"/>" +
                               Entry("filedetails", "f.bin", "f.bin", "game", hash) +
                               "</patch></u>",
                           "1.0"));
  EXPECT_FALSE(ServeAndLoad("not xml", "1.0"));
  EXPECT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(testing_support::ReadFile(dir.File("game/f.bin")), "data");
}

TEST_F(ManifestTest, FailedFetchesAreRetriedTenTimes) {
  EXPECT_FALSE(Load("/up/missing.xml", "1.0"));
  EXPECT_EQ(server.RequestCount("/up/missing.xml"), 10);
  EXPECT_FALSE(testing_support::PathExists(dir.File("data/xxurlw/test.gps")));

  server.Serve("/up/flaky.xml", [](int request) {
    return request < 3
               ? testing_support::HttpResponse(503, "busy")
               : testing_support::HttpResponse(200, "<u><patch><version value=\"7\"/></patch></u>");
  });
  EXPECT_TRUE(Load("/up/flaky.xml", "1.0"));
  EXPECT_EQ(server.RequestCount("/up/flaky.xml"), 3);
  EXPECT_EQ(patch.GetPatchVersion(), "7");
}

TEST_F(ManifestTest, ManifestWithoutEndIsRefusedAndLeavesNoWorkFile) {
  testing_support::MisbehavingServer endless;
  ASSERT_TRUE(endless.running());
  endless.Serve("/m.xml", testing_support::Misbehaviour::Endless());
  EXPECT_FALSE(patch.LoadManifest(wxString::FromUTF8(endless.Url("/m.xml")).wc_str(), L"1.0"));
  EXPECT_EQ(endless.RequestCount("/m.xml"), 10);
  EXPECT_FALSE(testing_support::PathExists(dir.File("data/xxurlw/test.gps")));
}

TEST_F(ManifestTest, LinkAtTheWorkFileIsReplacedNotWrittenThrough) {
  testing_support::TempDir outside;
  testing_support::WriteFile(outside.File("victim"), "keep");
  std::filesystem::create_directories(dir.File("data/xxurlw"));
  ASSERT_EQ(symlink(outside.File("victim").c_str(), dir.File("data/xxurlw/test.gps").c_str()), 0);
  EXPECT_TRUE(ServeAndLoad("<u><patch><version value=\"1.1\"/></patch></u>", "1.0"));
  EXPECT_EQ(testing_support::ReadFile(outside.File("victim")), "keep");
}

TEST_F(ManifestTest, EmptyOrNullUrlFailsAtOnce) {
  EXPECT_FALSE(patch.LoadManifest(nullptr, L"1.0"));
  EXPECT_FALSE(patch.LoadManifest(L"", nullptr));
  EXPECT_EQ(server.TotalRequests(), 0);
}

TEST_F(ManifestTest, EveryLoadSetsTheBaseUrlEvenWhenItFails) {
  // An entry URL without "http:" in exact case is relative, even one that
  // curl would take as absolute.
  const std::string direct = "HTTP://127.0.0.1:" + std::to_string(server.port()) + "/up/u.bin";
  ServeFile("u.bin", "direct");
  server.Serve("/other/" + direct, testing_support::HttpResponse(200, "via other"));
  ASSERT_TRUE(ServeAndLoad("<u><patch><version value=\"1.1\"/>" +
                               Entry("filedetails", "u.bin", direct, "game") + "</patch></u>",
                           "1.0"));

  // A failed load keeps the manifest but moves the base.
  EXPECT_FALSE(Load("/other/missing.xml", "1.0"));
  ASSERT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(testing_support::ReadFile(dir.File("game/u.bin")), "via other");

  // An empty URL, or one without "/", leaves no base: entry URLs are used
  // as they stand.
  for (const wchar_t* url : {L"", L"nohttp:manifest.xml"}) {
    testing_support::WriteFile(dir.File("game/u.bin"), "stale");
    EXPECT_FALSE(patch.LoadManifest(url, L"1.0"));
    ASSERT_TRUE(patch.ApplyPatches("1.0", ""));
    EXPECT_EQ(testing_support::ReadFile(dir.File("game/u.bin")), "direct");
  }
  EXPECT_EQ(server.RequestCount("/up/u.bin"), 2);
}

TEST_F(ManifestTest, ReleaseLeavesTheRecordedValues) {
  patch.ReleaseManifest();  // before any load
  ASSERT_TRUE(ServeAndLoad("<u><patch><version value=\"1.1\"/></patch></u>", "1.0"));
  patch.ReleaseManifest();
  patch.ReleaseManifest();
  EXPECT_EQ(patch.GetPatchVersion(), "1.1");
  // Nothing loaded: nothing to apply, and no call.
  EXPECT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_TRUE(calls.empty());
  EXPECT_FALSE(patch.UpdateSelf());
}

}  // namespace
}  // namespace tidewell_testing
