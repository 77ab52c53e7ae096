// Applying patch sets, file lists and the full installation.
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>

#include "tests/support/misbehaving_server.h"
#include "tests/tidewell/tidewell_fixture.h"

namespace tidewell_testing {
namespace {

using testing_support::HttpResponse;
using testing_support::PathExists;
using testing_support::ReadFile;

constexpr char kDownloadError[] = "下载补丁发生错误";
constexpr char kListNodeError[] = "更新版本发生错误";

class PatchApplicationTest : public TidewellTest {
 protected:
  // A set of `kind` ("patch" or "Launcherpatch") with one served file entry.
  std::string SetWithFile(const std::string& kind, const std::string& version,
                          const std::string& file, const std::string& body) {
    const std::string hash = ServeFile(file, body);
    return "<" + kind + "><version value=\"" + version + "\"/>" +
           Entry("filedetails", file, file, "game", hash) + "</" + kind + ">";
  }
  // A manifest with one patch set 1.1 holding `inner`.
  static std::string OnePatch(const std::string& inner) {
    return "<u><patch><version value=\"1.1\"/>" + inner + "</patch></u>";
  }
  // Serves a file list at `path`; returns the `files` element naming it.
  std::string ServeList(const std::string& path, const std::string& items) {
    server.Serve(path, HttpResponse(200, "<list>" + items + "</list>"));
    return "<files url=\"" + server.Url(path) + "\"/>";
  }
};

TEST_F(PatchApplicationTest, AppliesNewerSetsInOrderWithStepCalls) {
  ASSERT_TRUE(ServeAndLoad("<u>" + SetWithFile("patch", "1.0", "old.bin", "old") +
                               SetWithFile("patch", "1.1", "a.bin", "aaa") +
                               SetWithFile("PATCH", "1.2", "b.bin", "bbb") + "</u>",
                           "1.0"));
  ASSERT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(server.RequestCount("/up/old.bin"), 0);
  EXPECT_EQ(ReadFile(dir.File("game/a.bin")), "aaa");
  EXPECT_EQ(ReadFile(dir.File("game/b.bin")), "bbb");

  ASSERT_EQ(calls.size(), 5u);  // file, step, file, step, final
  EXPECT_EQ(calls[0].path, dir.File("game/a.bin"));
  EXPECT_EQ(calls[0].done, 1);
  EXPECT_TRUE(calls[0].finished);
  EXPECT_FALSE(calls[1].hasPath);
  EXPECT_EQ(calls[1].done, 0);
  EXPECT_FALSE(calls[1].finished);
  EXPECT_EQ(calls[1].currentVersion, "1.1");
  EXPECT_EQ(calls[3].currentVersion, "1.2");
  EXPECT_TRUE(calls[4].finished);
  for (const auto& call : calls) {
    EXPECT_EQ(call.total, 1);
    EXPECT_EQ(call.user, this);
    EXPECT_FALSE(call.launcherSet);
  }
}

TEST_F(PatchApplicationTest, VersionsOrderAsStrings) {
  // "1.10" orders before "1.9", so that set is not needed.
  ASSERT_TRUE(ServeAndLoad("<u>" + SetWithFile("patch", "1.10", "ten.bin", "10") +
                               SetWithFile("patch", "1.9a", "nine.bin", "9a") + "</u>",
                           "1.9"));
  ASSERT_TRUE(patch.ApplyPatches("1.9", ""));
  EXPECT_EQ(server.RequestCount("/up/ten.bin"), 0);
  EXPECT_EQ(server.RequestCount("/up/nine.bin"), 1);
}

TEST_F(PatchApplicationTest, VersionsOrderByUtf16Units) {
  // U+1F600 is a surrogate pair, which orders before U+FF10.
  const wxString installed = wxString::FromUTF8("1.\xEF\xBC\x90");
  ASSERT_TRUE(ServeAndLoad(
      "<u>" + SetWithFile("patch", "1.\xF0\x9F\x98\x80", "pair.bin", "p") + "</u>", installed));
  ASSERT_TRUE(patch.ApplyPatches(installed, ""));
  EXPECT_EQ(server.RequestCount("/up/pair.bin"), 0);
}

TEST_F(PatchApplicationTest, ApplyReadsVersionInAnyCase) {
  const std::string hash = ServeFile("v.bin", "v");
  ASSERT_TRUE(ServeAndLoad("<u><patch><VERSION value=\"2.0\"/>" +
                               Entry("FileDetails", "v.bin", "v.bin", "game", hash) +
                               "</patch></u>",
                           "1.0"));
  EXPECT_EQ(patch.GetPatchVersion(), "");  // the load wants "version" exactly
  ASSERT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(ReadFile(dir.File("game/v.bin")), "v");
  EXPECT_EQ(patch.GetCurrentVersion(), "2.0");
}

TEST_F(PatchApplicationTest, EntryWinsOverListAndSetsWithoutFilesAreSkipped) {
  const std::string files = ServeList("/up/list.xml", "");
  ServeFile("e.bin", "entry");
  ASSERT_TRUE(
      ServeAndLoad("<u><patch><version value=\"1.1\"/></patch><patch><version value=\"1.2\"/>" +
                       files + Entry("filedetails", "e.bin", "e.bin", "game") + "</patch></u>",
                   "1.0"));
  ASSERT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(server.RequestCount("/up/list.xml"), 0);
  EXPECT_EQ(ReadFile(dir.File("game/e.bin")), "entry");
  ASSERT_EQ(calls.size(), 3u);  // nothing for the empty 1.1 set
  EXPECT_EQ(calls[1].currentVersion, "1.2");
}

TEST_F(PatchApplicationTest, FileListWithACommentFetchesEveryItem) {
  const std::string one = ServeFile("one.bin", "1");
  const std::string two = ServeFile("two.bin", "2");
  ASSERT_TRUE(ServeAndLoad(
      OnePatch(ServeList("/lists/l.xml", Entry("item", "one.bin", "one.bin", "game", one) +
                                             "<!-- between -->" +
                                             Entry("item", "two.bin", "two.bin", "game", two))),
      "1.0"));
  ASSERT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kListNodeError});
  // Item URLs are relative to the manifest, not to the list.
  EXPECT_EQ(ReadFile(dir.File("game/one.bin")), "1");
  EXPECT_EQ(ReadFile(dir.File("game/two.bin")), "2");
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[2].currentVersion, "1.1");
  EXPECT_FALSE(PathExists(dir.File("data/xxurlw/test.gps")));
}

TEST_F(PatchApplicationTest, FailingListItemStopsTheList) {
  ServeFile("later.bin", "later");
  ASSERT_TRUE(ServeAndLoad(
      OnePatch(ServeList("/up/l.xml", Entry("item", "gone.bin", "gone.bin", "game") +
                                          Entry("item", "later.bin", "later.bin", "game"))),
      "1.0"));
  EXPECT_FALSE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kDownloadError});
  EXPECT_EQ(StatusText(), "更新版本1.1发生错误");
  EXPECT_EQ(server.RequestCount("/up/later.bin"), 0);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(patch.GetCurrentVersion(), "1.0");
}

TEST_F(PatchApplicationTest, FileListThatCannotBeFetchedOrParsedFailsWithoutABox) {
  server.Serve("/up/bad.xml", HttpResponse(200, "<list><item"));
  std::string deep;
  for (int i = 0; i < 300000; ++i) deep += "<item>";
  server.Serve("/up/deep.xml", HttpResponse(200, deep));
  // The host can read why.
  const std::pair<std::string, std::string> lists[] = {
      {"/up/missing.xml", "HTTP 404 from " + server.Url("/up/missing.xml") + " (10 attempts)"},
      {"/up/deep.xml",
       "file list from " + server.Url("/up/deep.xml") + ": elements nested more than 32 deep"},
      {"/up/bad.xml", "file list from " + server.Url("/up/bad.xml") +
                          ": not well-formed XML (unclosed token at line 1)"},
  };
  for (const auto& [list, cause] : lists) {
    ASSERT_TRUE(ServeAndLoad(OnePatch("<files url=\"" + server.Url(list) + "\"/>"), "1.0"));
    EXPECT_FALSE(patch.ApplyPatches("1.0", "")) << list;
    EXPECT_EQ(patch.GetFailureCause().utf8_string(), "patch set 1.1: " + cause);
  }
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(patch.GetCurrentVersion(), "1.0");
  EXPECT_TRUE(PathExists(dir.File("data/xxurlw/test.gps")));  // the list that did not parse
}

// Each failure the host sees leaves its cause for the host's log; a
// success leaves none.
TEST_F(PatchApplicationTest, FailuresLeaveTheirCauseForTheHost) {
  server.Serve("/up/broken.xml", HttpResponse(200, "<u><patch></u>"));
  const std::string manifest = server.Url("/up/manifest.xml");
  struct Case {
    const char* name;
    std::string manifest;  // served at /up/manifest.xml; empty: a load of /up/broken.xml
    const char* client;
    std::string cause;  // of the load, else of applying from "1.0"
  };
  const Case cases[] = {
      {"a manifest that does not parse", "", "1.0",
       "manifest from " + server.Url("/up/broken.xml") +
           ": not well-formed XML (mismatched tag at line 1)"},
      {"a first installation without a base set", "<u/>", "0.0",
       "manifest from " + manifest + " has no base set to install from"},
      {"an entry that is not served", OnePatch(Entry("filedetails", "a.bin", "a.bin", "game")),
       "1.0", "patch set 1.1: HTTP 404 from " + server.Url("/up/a.bin") + " (10 attempts)"},
      {"an entry without url", OnePatch("<filedetails name=\"a.bin\"/>"), "1.0",
       "patch set 1.1: a file entry without name or url"},
      {"an entry that leaves its directory",
       OnePatch(Entry("filedetails", "../a.bin", "a.bin", "game")), "1.0",
       "patch set 1.1: file entry \"game\" \"../a.bin\" leaves the game directory"},
      {"a launcher set",
       "<u><Launcherpatch><version value=\"2.0\"/>" +
           Entry("filedetails", "l.bin", "l.bin", "game") + "</Launcherpatch></u>",
       "1.0", "launcher patch set: HTTP 404 from " + server.Url("/up/l.bin") + " (10 attempts)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool loaded =
        c.manifest.empty() ? Load("/up/broken.xml", c.client) : ServeAndLoad(c.manifest, c.client);
    if (loaded) {
      EXPECT_FALSE(patch.ApplyPatches("1.0", "0.9"));
    }
    EXPECT_EQ(patch.GetFailureCause().utf8_string(), c.cause);
  }
  EXPECT_FALSE(patch.LoadManifest(L"", L"1.0"));
  EXPECT_EQ(patch.GetFailureCause(), "no manifest URL");
  ASSERT_TRUE(ServeAndLoad("<u/>", "1.0"));
  EXPECT_EQ(patch.GetFailureCause(), "");
}

TEST_F(PatchApplicationTest, HttpsUrlIsTakenAsRelative) {
  server.Serve("/up/https://cdn.example/s.bin", HttpResponse(200, "secure"));
  ASSERT_TRUE(ServeAndLoad(
      OnePatch(Entry("filedetails", "s.bin", "https://cdn.example/s.bin", "game")), "1.0"));
  ASSERT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(ReadFile(dir.File("game/s.bin")), "secure");
}

TEST_F(PatchApplicationTest, OnlyHttpUrlsAreFetched) {
  // "http:" anywhere makes a URL absolute; the download routine still
  // refuses every scheme but http and https.
  testing_support::TempDir elsewhere;
  testing_support::WriteFile(elsewhere.File("secret"), "local secret");
  ASSERT_TRUE(ServeAndLoad(OnePatch(Entry("filedetails", "s.bin",
                                          "file://" + elsewhere.File("secret") + "#http:", "game")),
                           "1.0"));
  EXPECT_FALSE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kDownloadError});
  EXPECT_NE(ReadFile(dir.File("game/s.bin")), "local secret");
}

TEST_F(PatchApplicationTest, RetryFetchesOnlyTheSetsTheHostHasNotRecorded) {
  ASSERT_TRUE(ServeAndLoad("<u>" + SetWithFile("patch", "1.1", "a.bin", "a") + "</u>", "1.0"));
  wxString installed = "1.0";
  onStatus = [&installed](const StatusCall& call) {
    if (!call.hasPath && !call.finished) installed = wxString::FromUTF8(call.currentVersion);
  };
  ASSERT_TRUE(patch.ApplyPatches(installed, ""));
  EXPECT_EQ(installed, "1.1");
  ASSERT_TRUE(patch.ApplyPatches(installed, ""));
  EXPECT_EQ(server.RequestCount("/up/a.bin"), 1);  // recorded: not applied twice
  ASSERT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(server.RequestCount("/up/a.bin"), 2);  // not recorded: applied again
}

TEST_F(PatchApplicationTest, LauncherSetsFollowTheHostsLauncherVersion) {
  ASSERT_TRUE(ServeAndLoad("<u>" + SetWithFile("Launcherpatch", "1.5", "l1.bin", "l1") +
                               SetWithFile("launcherpatch", "2.0", "l2.bin", "l2") + "</u>",
                           "1.0"));
  wxString launcherVersion = "1.0";
  // As the launcher does: store the newest launcher version at the first step.
  onStatus = [&](const StatusCall& call) {
    if (call.launcherSet) launcherVersion = patch.GetLauncherVersion();
  };
  ASSERT_TRUE(patch.ApplyPatches("1.0", launcherVersion));
  EXPECT_EQ(server.RequestCount("/up/l1.bin"), 1);  // its own older version plays no part
  EXPECT_EQ(server.RequestCount("/up/l2.bin"), 0);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_FALSE(calls[0].launcherSet);  // per-file calls carry false
  EXPECT_TRUE(calls[1].launcherSet);
  EXPECT_EQ(calls[1].currentVersion, "");
  EXPECT_FALSE(calls[2].launcherSet);
}

TEST_F(PatchApplicationTest, LauncherSetFromAFileListReportsALauncherStep) {
  const std::string hash = ServeFile("l.bin", "L");
  ASSERT_TRUE(
      ServeAndLoad("<u><Launcherpatch><version value=\"2.0\"/>" +
                       ServeList("/up/l.xml", Entry("item", "l.bin", "l.bin", "game", hash)) +
                       "</Launcherpatch></u>",
                   "1.0"));
  ASSERT_TRUE(patch.ApplyPatches("1.0", "1.0"));
  EXPECT_EQ(ReadFile(dir.File("game/l.bin")), "L");
  ASSERT_EQ(calls.size(), 3u);  // file, launcher step, final
  EXPECT_FALSE(calls[0].launcherSet);
  EXPECT_TRUE(calls[1].launcherSet);
  EXPECT_FALSE(calls[1].finished);
  EXPECT_FALSE(calls[2].launcherSet);
}

TEST_F(PatchApplicationTest, FullInstallationWithLauncherSetAndBaseList) {
  const std::string b1 = ServeFile("base1.bin", "b1");
  const std::string b2 = ServeFile("base2.bin", "b2");
  const std::string files =
      ServeList("/base/list.xml", Entry("item", "base1.bin", "base1.bin", "game", b1) +
                                      Entry("item", "base2.bin", "base2.bin", "game", b2));
  ASSERT_TRUE(ServeAndLoad("<u><base>" + files + "</base>" +
                               SetWithFile("patch", "3.1", "p.bin", "p") +
                               SetWithFile("Launcherpatch", "9.0", "launcher.bin", "L") + "</u>",
                           "0.0"));
  ASSERT_TRUE(patch.ApplyPatches("0.0", "8.0"));
  EXPECT_EQ(ReadFile(dir.File("game/launcher.bin")), "L");
  EXPECT_EQ(ReadFile(dir.File("game/base1.bin")), "b1");
  EXPECT_EQ(ReadFile(dir.File("game/base2.bin")), "b2");
  EXPECT_EQ(server.RequestCount("/up/p.bin"), 0);  // no patch sets in a full installation

  ASSERT_EQ(calls.size(), 6u);  // launcher file, launcher step, 2 files, base step, final
  EXPECT_TRUE(calls[1].launcherSet);
  EXPECT_EQ(calls[1].currentVersion, "9.0");
  EXPECT_FALSE(calls[4].launcherSet);
  EXPECT_EQ(calls[4].currentVersion, "3.1");
  EXPECT_TRUE(calls[5].finished);
}

TEST_F(PatchApplicationTest, FullInstallationSkipsTheLauncherPartWhenCurrentOrMisspelled) {
  ServeFile("base.bin", "b");
  ASSERT_TRUE(ServeAndLoad("<u><base>" + Entry("filedetails", "base.bin", "base.bin", "game") +
                               "</base>" +
                               SetWithFile("Launcherpatch", "9.0", "launcher.bin", "L") +
                               "<patch><version value=\"3.0\"/></patch></u>",
                           "0.0"));
  ASSERT_TRUE(patch.ApplyPatches("0.0", "9.0"));
  EXPECT_EQ(ReadFile(dir.File("game/base.bin")), "b");
  ASSERT_EQ(calls.size(), 3u);  // base file, base step, final
  EXPECT_FALSE(calls[1].launcherSet);
  EXPECT_EQ(calls[1].currentVersion, "3.0");

  // "Version" is not "version" here: the set does not match the newest
  // launcher version (which the load still read from it).
  ASSERT_TRUE(ServeAndLoad(
      "<u><base><files url=\"\"/></base><Launcherpatch><Version "
      "value=\"9.0\"/>" +
          Entry("filedetails", "launcher.bin", "launcher.bin", "game") + "</Launcherpatch></u>",
      "0.0"));
  EXPECT_EQ(patch.GetLauncherVersion(), "9.0");
  calls.clear();
  ASSERT_TRUE(patch.ApplyPatches("0.0", "8.0"));
  EXPECT_EQ(server.RequestCount("/up/launcher.bin"), 0);
  ASSERT_EQ(calls.size(), 1u);
}

TEST_F(PatchApplicationTest, FullInstallationFindsBaseByItsName) {
  ServeFile("base.bin", "b");
  ASSERT_TRUE(
      ServeAndLoad("<u><!-- first --><patch><version value=\"1.0\"/></patch><base>"
                   "<!-- inside -->" +
                       Entry("filedetails", "base.bin", "base.bin", "game") + "</base></u>",
                   "0.0"));
  ASSERT_TRUE(patch.ApplyPatches("0.0", ""));
  EXPECT_EQ(ReadFile(dir.File("game/base.bin")), "b");
  ASSERT_EQ(calls.size(), 3u);  // base file, base step, final
  EXPECT_EQ(calls[1].currentVersion, "1.0");

  // A base whose first element is neither kind, or that is empty, fails;
  // so does a manifest that lost its base after the load.
  for (const std::string manifest : {"<u><base><other/></base></u>", "<u><base/></u>"}) {
    ASSERT_TRUE(ServeAndLoad(manifest, "0.0"));
    EXPECT_FALSE(patch.ApplyPatches("0.0", "")) << manifest;
  }
  ASSERT_TRUE(ServeAndLoad("<u><patch><version value=\"1.0\"/></patch></u>", "1.0"));
  EXPECT_FALSE(patch.ApplyPatches("0.0", ""));
}

TEST_F(PatchApplicationTest, ReadOnlyTargetIsReplaced) {
  ASSERT_TRUE(ServeAndLoad("<u>" + SetWithFile("patch", "1.1", "r.bin", "new") + "</u>", "1.0"));
  ASSERT_EQ(mkdir(dir.File("game").c_str(), 0755), 0);
  testing_support::WriteFile(dir.File("game/r.bin"), "old");
  ASSERT_EQ(chmod(dir.File("game/r.bin").c_str(), 0444), 0);
  ASSERT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(ReadFile(dir.File("game/r.bin")), "new");
}

TEST_F(PatchApplicationTest, LocalOfTwoLevelsNeedsItsParent) {
  ASSERT_TRUE(ServeAndLoad(OnePatch(Entry("filedetails", "x.bin", "x.bin", "a\\b")), "1.0"));
  ServeFile("x.bin", "x");
  EXPECT_FALSE(patch.ApplyPatches("1.0", ""));
  EXPECT_FALSE(PathExists(dir.File("a")));
  EXPECT_EQ(server.RequestCount("/up/x.bin"), 0);  // failed before any transfer
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kDownloadError});

  ASSERT_EQ(mkdir(dir.File("a").c_str(), 0755), 0);
  ASSERT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(ReadFile(dir.File("a/b/x.bin")), "x");
}

TEST_F(PatchApplicationTest, LocalAndNameFindTheInstalledOnesInAnyCase) {
  ASSERT_EQ(mkdir(dir.File("data").c_str(), 0755), 0);
  testing_support::WriteFile(dir.File("data/login.dat"), "old");
  ServeFile("l.bin", "new");
  ASSERT_TRUE(ServeAndLoad(OnePatch(Entry("filedetails", "Login.DAT", "l.bin", "Data")), "1.0"));
  ASSERT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(ReadFile(dir.File("data/login.dat")), "new");
  EXPECT_FALSE(PathExists(dir.File("Data")));
  EXPECT_FALSE(PathExists(dir.File("data/Login.DAT")));
}

TEST_F(PatchApplicationTest, EntryWithoutLocalIsRelativeToTheCurrentDirectory) {
  char previous[PATH_MAX];
  ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
  testing_support::TempDir workingDir;
  ASSERT_EQ(chdir(workingDir.path().c_str()), 0);
  ServeFile("c.bin", "cwd");
  const bool applied = ServeAndLoad(OnePatch(Entry("filedetails", "c.bin", "c.bin")), "1.0") &&
                       patch.ApplyPatches("1.0", "");
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_TRUE(applied);
  EXPECT_EQ(ReadFile(workingDir.File("c.bin")), "cwd");
}

TEST_F(PatchApplicationTest, EntriesThatLeaveTheirDirectoryAreRefused) {
  ServeFile("evil.bin", "evil");
  testing_support::TempDir outside;
  const std::string escapes[][2] = {
      {"../evil.bin", "game"},
      {"sub/../../evil.bin", "game"},
      {"..\\evil.bin", "game"},
      {"evil.bin", ".."},
      {"evil.bin", "game/../.."},
      {"evil.bin", "..\\game"},
      {outside.File("evil.bin"), "game"},
      {outside.File("evil.bin"), ""},
      {"../evil.bin", ""},
  };
  for (const auto& [name, local] : escapes) {
    ASSERT_TRUE(ServeAndLoad(OnePatch(Entry("filedetails", name, "evil.bin", local)), "1.0"));
    EXPECT_FALSE(patch.ApplyPatches("1.0", "")) << name << " in " << local;
  }
  EXPECT_EQ(server.RequestCount("/up/evil.bin"), 0);
  EXPECT_EQ(BoxTexts().size(), std::size(escapes));
  EXPECT_FALSE(PathExists(outside.File("evil.bin")));
  EXPECT_FALSE(PathExists(dir.File("evil.bin")));

  // Names that only look odd stay allowed.
  ASSERT_TRUE(
      ServeAndLoad(OnePatch(Entry("filedetails", "..evil.bin", "evil.bin", "./game")), "1.0"));
  EXPECT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(ReadFile(dir.File("game/..evil.bin")), "evil");
}

TEST_F(PatchApplicationTest, MissingNameOrUrlFailsTheEntryAndSizeIsReadAfterThem) {
  ASSERT_TRUE(ServeAndLoad(OnePatch("<filedetails url=\"x\" size=\"12\"/>"), "1.0"));
  EXPECT_FALSE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(StatusText(), "更新版本1.1发生错误");
  ASSERT_TRUE(ServeAndLoad(OnePatch("<filedetails name=\"x\" url=\"\" size=\" 42abc\"/>"), "1.0"));
  EXPECT_FALSE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(patch.GetFileSize(), 0);
  EXPECT_EQ(server.TotalRequests(), 2);  // the two manifests only

  ServeFile("s.bin", "s");
  ASSERT_TRUE(ServeAndLoad(
      OnePatch("<filedetails name=\"s.bin\" url=\"s.bin\" local=\"game\" size=\" 42abc\"/>"),
      "1.0"));
  ASSERT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(patch.GetFileSize(), 42);

  // The size is only a record: a file whose digest matches is never refused
  // for a stale one.
  const std::string large(5000, 'l');
  ASSERT_TRUE(ServeAndLoad(OnePatch("<filedetails name=\"l.bin\" url=\"l.bin\" local=\"game\" "
                                    "size=\"4\" hash=\"" +
                                    ServeFile("l.bin", large) + "\"/>"),
                           "1.0"));
  ASSERT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(ReadFile(dir.File("game/l.bin")), large);
}

}  // namespace
}  // namespace tidewell_testing

namespace tidewell_testing {
namespace {

// An installed file keeps its content whenever its replacement fails, no
// temporary file stays, and a replacement keeps the installed mode.
struct FailedReplaceCase {
  const char* name;
  testing_support::Misbehaviour behaviour;
  const char* sizeAttribute;
  curl_progress_callback progress = nullptr;
};

// The host's answer once shut-down or a self-update hand-over began.
int AbortTransfer(void*, double, double, double, double) { return 1; }

TEST_F(PatchApplicationTest, FailedReplacementsKeepTheInstalledFileWhole) {
  using testing_support::Misbehaviour;
  const FailedReplaceCase cases[] = {
      {"404 on every attempt", Misbehaviour::Answer(404, "<html>gone</html>"), ""},
      {"reset", Misbehaviour::Reset(), ""},
      {"cut-off body", Misbehaviour::CutOff("new con", 100), ""},
      {"aborted by the host", Misbehaviour::Answer(200, "new content"), "", &AbortTransfer},
  };
  testing_support::MisbehavingServer bad;
  ASSERT_TRUE(bad.running());
  const std::string installed = dir.File("game/orvo.exe");
  ASSERT_EQ(mkdir(dir.File("game").c_str(), 0755), 0);
  for (const FailedReplaceCase& c : cases) {
    testing_support::WriteFile(installed, "installed game");
    ASSERT_EQ(chmod(installed.c_str(), 0755), 0);
    bad.Serve("/orvo.exe", c.behaviour);
    patch.progressCallback = c.progress;
    const std::string entry = "<filedetails name=\"orvo.exe\" url=\"" + bad.Url("/orvo.exe") +
                              "\" local=\"game\"" + c.sizeAttribute + "/>";
    ASSERT_TRUE(ServeAndLoad(OnePatch(entry), "1.0"));
    EXPECT_FALSE(patch.ApplyPatches("1.0", "")) << c.name;
    EXPECT_EQ(ReadFile(installed), "installed game") << c.name;
    EXPECT_TRUE(testing_support::NamesEndingIn(dir.File("game"), ".download").empty()) << c.name;
  }
  patch.progressCallback = nullptr;
  // A good body replaces it, executable as it was.
  const std::string body = "new game";
  bad.Serve("/orvo.exe", Misbehaviour::Answer(200, body));
  ASSERT_TRUE(ServeAndLoad(OnePatch("<filedetails name=\"orvo.exe\" url=\"" + bad.Url("/orvo.exe") +
                                    "\" local=\"game\" size=\"8\" hash=\"" + Md5Of(body) + "\"/>"),
                           "1.0"));
  ASSERT_TRUE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(ReadFile(installed), body);
  struct stat info {};
  ASSERT_EQ(stat(installed.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0755u);
}

bool g_keepRetrying = true;
int g_pauseCalls = 0;
bool CountPause(void* context) {
  EXPECT_EQ(context, &g_pauseCalls);
  ++g_pauseCalls;
  return g_keepRetrying;
}

TEST_F(PatchApplicationTest, RetriesWaitForTheHostsPauseAndStopWhenItSaysSo) {
  patch.retryPause = &CountPause;
  patch.retryPauseContext = &g_pauseCalls;
  const std::string entry = Entry("filedetails", "a.bin", "missing.bin", "game");
  for (const bool keepRetrying : {true, false}) {
    g_keepRetrying = keepRetrying;
    g_pauseCalls = 0;
    ASSERT_TRUE(ServeAndLoad(OnePatch(entry), "1.0"));
    const int before = server.RequestCount("/up/missing.bin");
    EXPECT_FALSE(patch.ApplyPatches("1.0", ""));
    EXPECT_EQ(server.RequestCount("/up/missing.bin") - before, keepRetrying ? 10 : 1);
    EXPECT_EQ(g_pauseCalls, keepRetrying ? 9 : 1);
  }
}

// On a small filesystem no download takes the disk's last 64 MiB: a body
// without a size that never ends stops there (nothing left behind), and
// with less free even a small file is not fetched.
TEST_F(PatchApplicationTest, DownloadsLeaveTheDiskReserveFree) {
  const std::string game = dir.File("game");
  ASSERT_EQ(mkdir(game.c_str(), 0755), 0);
  if (mount("tmpfs", game.c_str(), "tmpfs", 0, "size=72m") != 0) GTEST_SKIP() << "no tmpfs here";
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{game};
  const auto freeBytes = [&game] {
    struct statvfs disk {};
    return statvfs(game.c_str(), &disk) == 0 ? uint64_t{disk.f_bavail} * disk.f_frsize : 0;
  };
  constexpr uint64_t kReserve = 64u * 1024 * 1024;
  testing_support::MisbehavingServer bad;
  bad.Serve("/endless.bin", testing_support::Misbehaviour::Endless());
  ASSERT_TRUE(ServeAndLoad(OnePatch(Entry("filedetails", "e.bin", bad.Url("/endless.bin"), "game")),
                           "1.0"));
  EXPECT_FALSE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(bad.RequestCount("/endless.bin"), 10);
  EXPECT_TRUE(testing_support::NamesEndingIn(game, ".download").empty());

  testing_support::WriteFile(game + "/filler", std::string(freeBytes() - kReserve + 4096, 'f'));
  const std::string hash = ServeFile("s.bin", "small");
  ASSERT_TRUE(ServeAndLoad(OnePatch("<filedetails name=\"s.bin\" url=\"s.bin\" local=\"game\" "
                                    "size=\"5\" hash=\"" +
                                    hash + "\"/>"),
                           "1.0"));
  EXPECT_FALSE(patch.ApplyPatches("1.0", ""));
  EXPECT_EQ(server.RequestCount("/up/s.bin"), 0);
}

TEST_F(PatchApplicationTest, PackageWithAnEmptyStemAndNoLocalIsRefused) {
  for (const char* name : {".upd", ".tre"}) {
    ServeFile(name, "zip");
    ASSERT_TRUE(ServeAndLoad(OnePatch(Entry("filedetails", name, name)), "1.0"));
    EXPECT_FALSE(patch.ApplyPatches("1.0", "")) << name;
    EXPECT_EQ(server.RequestCount(std::string("/up/") + name), 0) << name;
  }
}

}  // namespace
}  // namespace tidewell_testing
