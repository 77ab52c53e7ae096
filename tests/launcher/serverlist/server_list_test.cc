#include "launcher/serverlist/server_list.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "launcher/system/instance_path.h"
#include "skinui/markup.h"
#include "tests/support/scramble.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::PathExists;
using testing_support::TempDir;
using testing_support::WriteFile;
using testing_support::WriteScrambledFile;

struct ServerRow {
  const char *sid, *name, *address, *port;
};
using AreaRows = std::vector<std::vector<ServerRow>>;

AreaList Areas(const AreaRows& rows) {
  AreaList areas;
  for (const auto& rowArea : rows) {
    AreaInfo area;
    for (const ServerRow& row : rowArea) {
      auto server = std::make_unique<ServerInfo>();
      server->sid = row.sid;
      server->name = row.name;
      server->address = row.address;
      server->port = row.port;
      server->chargeIp = std::string("charge-") + row.sid;
      area.servers.push_back(std::move(server));
    }
    areas.push_back(std::move(area));
  }
  return areas;
}

// Four areas: "s1" in areas 0 and 2, "s4" only in area 3.
const AreaRows kFourAreas = {
    {{"s1", "zero-a", "10.0.0.1", "7000"}, {"s2", "zero-b", "10.0.0.2", "7000"}},
    {{"s3", "one-a", "10.0.1.1", "7001"}},
    {{"s9", "two-a", "10.0.2.9", "7002"}, {"s1", "two-b", "10.0.2.1", "7002"}},
    {{"s4", "three-a", "10.0.3.1", "7003"}}};
// The same address under different ports, and in two areas.
const AreaRows kSharedAddress = {{{"p", "plain", "host", ""}, {"q", "q", "host", "80"}},
                                 {{"r", "r", "host", "80"}}};

// --- Choice of the current server ---

TEST(ServerChoiceTest, ChoosesBySavedKeysOrTheFirstNamedServer) {
  // `taken` names the chosen server, "" for none; with none the strings are
  // cleared, or (`keepsPrevious`) stay the previous choice.
  const struct {
    const char* what;
    AreaRows areas;
    SavedServerKeys saved;
    const char* taken;
    bool keepsPrevious;
  } cases[] = {
      {"sid in areas 0 and 2 takes area 2", kFourAreas, {"s1", "", ""}, "two-b", false},
      {"sid only in the fourth area", kFourAreas, {"s4", "", ""}, "", false},
      {"sid nowhere", kFourAreas, {"missing", "", ""}, "", false},
      {"unmatched sid ignores the address", kFourAreas, {"missing", "10.0.0.1", "7000"}, "", false},
      {"two areas only",
       {{{"a", "x", "1", "1"}}, {{"b", "y", "2", "2"}}},
       {"b", "", ""},
       "y",
       false},
      {"two matches in one area",
       {{{"s1", "first", "a", "1"}, {"s1", "second", "b", "2"}}},
       {"s1", "", ""},
       "first",
       false},
      {"address and port, last area wins", kSharedAddress, {"", "host", "80"}, "r", false},
      {"empty port matches empty port", kSharedAddress, {"", "host", ""}, "plain", false},
      {"address with another port", kSharedAddress, {"", "host", "81"}, "", false},
      {"unnamed first server",
       {{{"u", "", "unnamed", "1"}, {"n", "named", "addr", "2"}}, {{"m", "other", "x", "3"}}},
       {},
       "named",
       false},
      {"no named server in area 0",
       {{{"u", "", "unnamed", "1"}}, {{"m", "area-1", "x", "3"}}},
       {},
       "",
       true},
      {"no areas", {}, {}, "", true},
      {"no areas, saved sid", {}, {"b", "", ""}, "", false},
  };
  const ChosenServer previous{"old-addr", "old-port", "old-charge", "old-sid"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const AreaList areas = Areas(c.areas);
    const ServerChoice choice = ChooseCurrentServer(areas, c.saved, previous);
    if (*c.taken) {
      ASSERT_NE(choice.taken, nullptr);
      EXPECT_EQ(choice.taken->name, c.taken);
      EXPECT_EQ(choice.strings.addr, choice.taken->address);
      EXPECT_EQ(choice.strings.port, choice.taken->port);
      EXPECT_EQ(choice.strings.sid, choice.taken->sid);
      EXPECT_EQ(choice.strings.chargeUrl, choice.taken->chargeIp);
    } else {
      EXPECT_EQ(choice.taken, nullptr);
      EXPECT_EQ(choice.strings.sid, c.keepsPrevious ? "old-sid" : "");
      EXPECT_EQ(choice.strings.addr, c.keepsPrevious ? "old-addr" : "");
    }
  }
}

TEST(ServerChoiceTest, VersionTextComparesUnitByUnit) {
  const char* cases[][3] = {
      {"1.10", "1.9", "1.9"},    {"1.9", "1.10", "1.9"}, {"1.2", "1.2.1", "1.2.1"},
      {"1.2.1", "1.2", "1.2.1"}, {"", "0", "0"},         {"3", "", "3"}};
  for (const auto& c : cases) EXPECT_EQ(VersionTextToShow(c[0], c[1]), c[2]) << c[0] << " " << c[1];
  // Above U+FFFF a character is a surrogate pair, below U+E000..U+FFFF.
  const wxString pair = wxString::FromUTF8("1.\xF0\x9F\x98\x80");  // U+1F600
  const wxString high = wxString::FromUTF8("1.\xEF\xBC\x90");      // U+FF10
  EXPECT_EQ(VersionTextToShow(pair, high), high);
  EXPECT_EQ(VersionTextToShow(high, pair), high);
}

// --- Parsing ---

TEST(ServerListParseTest, IntegersAsTheListWritesThem) {
  const std::pair<const char*, int> cases[] = {{"  \t-12x7", -12},
                                               {"+7", 7},
                                               {"abc", 0},
                                               {"", 0},
                                               {"- 5", 0},
                                               {"99999999999999999999999", INT_MAX},
                                               {"-99999999999999999999999", INT_MIN},
                                               {"-2147483648", INT_MIN}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseListInteger(text), value) << text;
}

AreaList Parse(const std::string& xml, bool* accepted = nullptr) {
  CMarkup markup;
  EXPECT_TRUE(markup.Load(xml)) << xml;
  AreaList areas;
  const bool ok = ParseServerListDocument(markup, areas);
  if (accepted) *accepted = ok;
  return areas;
}

TEST(ServerListParseTest, AreasAndServersInDocumentOrder) {
  const AreaList areas = Parse(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<velmor>\n"
      " <area pid=\" 3\" name=\"North\">\n"
      "  <server sid=\"11\" name=\"Alpha\" address=\"1.2.3.4\" chargeIp=\"5.6.7.8\" "
      "port=\"7000x\" state=\"-2\" extra=\"ignored\"/>\n"
      "  <server sid=\"12\" name=\"&#x4E1C;&amp;B\"/>\n"
      " </area>\n"
      " <area pid=\"abc\" name=\"South\"></area>\n"
      "</velmor>\n");
  ASSERT_EQ(areas.size(), 2u);
  EXPECT_EQ(areas[0].pid, 3);
  EXPECT_EQ(areas[0].name, "North");
  ASSERT_EQ(areas[0].servers.size(), 2u);
  const ServerInfo& alpha = *areas[0].servers[0];
  EXPECT_EQ(alpha.sid + "|" + alpha.name + "|" + alpha.address + "|" + alpha.chargeIp,
            "11|Alpha|1.2.3.4|5.6.7.8");
  EXPECT_EQ(alpha.port, "7000x");  // kept as text
  EXPECT_EQ(alpha.state, -2);
  EXPECT_EQ(areas[0].servers[1]->name, "\xE4\xB8\x9C&B");
  EXPECT_EQ(areas[1].pid, 0);
  EXPECT_TRUE(areas[1].servers.empty());
}

TEST(ServerListParseTest, OtherRootIsAcceptedButReadsNothing) {
  CMarkup markup;
  ASSERT_TRUE(markup.Load("<Velmor><area name=\"a\"><server sid=\"1\"/></area></Velmor>"));
  AreaList areas = Areas(kFourAreas);
  EXPECT_FALSE(ParseServerListDocument(markup, areas));
  EXPECT_EQ(areas.size(), 4u);
}

TEST(ServerListParseTest, MissingEmptyAndRepeatedAttributes) {
  const AreaList areas = Parse(
      "<velmor><area><server sid=\"1\" name=\"lost\"/></area>"
      "<area name=\"\"><server/></area></velmor>");
  ASSERT_EQ(areas.size(), 2u);
  EXPECT_TRUE(areas[0].servers.empty());
  // An empty attribute is still an attribute; a bare server is all empty.
  ASSERT_EQ(areas[1].servers.size(), 1u);
  const ServerInfo& bare = *areas[1].servers[0];
  EXPECT_TRUE(bare.sid.empty() && bare.name.empty() && bare.address.empty() && bare.port.empty() &&
              bare.chargeIp.empty());

  // Repeated attributes: the last one counts.
  const AreaList repeated = Parse(
      "<velmor><area pid=\"1\" pid=\"2\" name=\"a\" name=\"b\">"
      "<server sid=\"x\" sid=\"y\"/></area></velmor>");
  ASSERT_EQ(repeated.size(), 1u);
  EXPECT_EQ(repeated[0].pid, 2);
  EXPECT_EQ(repeated[0].name, "b");
  EXPECT_EQ(repeated[0].servers[0]->sid, "y");
}

TEST(ServerListParseTest, UnknownNestedAndMiscasedElementsAreIgnored) {
  const AreaList areas = Parse(
      "<velmor>text<group><area name=\"deep\"><server sid=\"d\"/></area></group>"
      "<Area name=\"case\"/>"
      "<area name=\"real\"><Server sid=\"c\"/><x><server sid=\"nested\"/></x>"
      "<server SID=\"upper\" sid=\"ok\"><server sid=\"inner\"/></server>more text</area>"
      "<server sid=\"stray\"/></velmor>");
  ASSERT_EQ(areas.size(), 1u);
  EXPECT_EQ(areas[0].name, "real");
  ASSERT_EQ(areas[0].servers.size(), 1u);
  EXPECT_EQ(areas[0].servers[0]->sid, "ok");
}

TEST(ServerListParseTest, VeryLongValuesAndManyServers) {
  const std::string longName(1 << 20, 'n');
  std::string xml = "<velmor><area name=\"" + longName + "\">";
  constexpr int kServers = 20000;
  for (int i = 0; i < kServers; ++i)
    xml += "<server sid=\"" + std::to_string(i) + "\" name=\"s\"/>";
  xml += "</area></velmor>";
  const AreaList areas = Parse(xml);
  ASSERT_EQ(areas.size(), 1u);
  EXPECT_EQ(areas[0].name.size(), longName.size());
  ASSERT_EQ(areas[0].servers.size(), static_cast<size_t>(kServers));
  EXPECT_EQ(areas[0].servers.back()->sid, std::to_string(kServers - 1));
}

// --- Reading the file, plain or scrambled ---

class ServerListFileTest : public ::testing::Test {
 protected:
  void SetUp() override { SetInstancePath(wxString::FromUTF8(dir_.path())); }

  std::string List() const { return dir_.File("ServerList.xml"); }
  std::string Tmp() const { return dir_.File("ServerList.xml.tmp"); }

  TempDir dir_;
};

constexpr char kSmallList[] =
    "<velmor>\n<area pid=\"1\" name=\"A\">\n<server sid=\"7\" name=\"S\" port=\"1\"/>\n"
    "</area>\n</velmor>\n";

TEST_F(ServerListFileTest, PlainOrScrambledFilesAndNoTemporaryFileStays) {
  EXPECT_EQ(ReadServerListFile("ServerList.xml").outcome, ServerListRead::kFailed);  // missing
  EXPECT_EQ(ReadServerListFile("").outcome, ServerListRead::kFailed);
  const struct {
    std::string bytes;
    bool scrambled;
    ServerListRead outcome;
  } cases[] = {{kSmallList, false, ServerListRead::kParsed},
               {kSmallList, true, ServerListRead::kParsed},
               {"not xml at all", false, ServerListRead::kFailed},
               {"<velmor><area>", false, ServerListRead::kFailed},
               {"", false, ServerListRead::kFailed},
               {std::string("\0\0\0\0", 4), false, ServerListRead::kFailed},
               {"<velmor><area></velmor>", true, ServerListRead::kFailed},
               {"<servers><area name=\"x\"/></servers>", false, ServerListRead::kOtherRoot},
               {"<servers/>", true, ServerListRead::kOtherRoot}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    if (c.scrambled) {
      WriteFile(Tmp(), "stale leftover");
      WriteScrambledFile(List(), c.bytes);
    } else {
      WriteFile(List(), c.bytes);
    }
    const ServerListReadResult read = ReadServerListFile("ServerList.xml");
    EXPECT_EQ(read.outcome, c.outcome);
    if (c.outcome == ServerListRead::kParsed) {
      ASSERT_EQ(read.areas.size(), 1u);
      EXPECT_EQ(read.areas[0].servers[0]->sid, "7");
    }
    EXPECT_FALSE(PathExists(Tmp()));
  }
  // Copied from Windows, the name may differ in letter case.
  std::filesystem::rename(List(), dir_.File("serverlist.XML"));
  WriteScrambledFile(dir_.File("serverlist.XML"), kSmallList);
  EXPECT_EQ(ReadServerListFile("ServerList.xml").outcome, ServerListRead::kParsed);
}

}  // namespace
