#include "launcher/server_list.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "launcher/instance_path.h"
#include "skinui/markup.h"
#include "tests/support/scramble.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::PathExists;
using testing_support::TempDir;
using testing_support::WriteFile;
using testing_support::WriteScrambledFile;

std::unique_ptr<ServerInfo> Server(const char* sid, const char* name, const char* address,
                                   const char* port, const char* chargeIp = "charge") {
  auto server = std::make_unique<ServerInfo>();
  server->sid = sid;
  server->name = name;
  server->address = address;
  server->port = port;
  server->chargeIp = chargeIp;
  return server;
}

AreaInfo Area(std::vector<std::unique_ptr<ServerInfo>> servers) {
  AreaInfo area;
  area.servers = std::move(servers);
  return area;
}

template <typename... Servers>
AreaInfo AreaOf(Servers... servers) {
  std::vector<std::unique_ptr<ServerInfo>> list;
  (list.push_back(std::move(servers)), ...);
  return Area(std::move(list));
}

SavedServerKeys BySid(const char* sid) { return SavedServerKeys{sid, "", ""}; }
SavedServerKeys ByAddress(const char* address, const char* port) {
  return SavedServerKeys{"", address, port};
}

ChosenServer Previous() {
  ChosenServer previous;
  previous.addr = "old-addr";
  previous.port = "old-port";
  previous.chargeUrl = "old-charge";
  previous.sid = "old-sid";
  return previous;
}

// Four areas: "s1" in areas 0 and 2, "s4" only in area 3.
AreaList FourAreas() {
  AreaList areas;
  areas.push_back(AreaOf(Server("s1", "zero-a", "10.0.0.1", "7000"),
                         Server("s2", "zero-b", "10.0.0.2", "7000")));
  areas.push_back(AreaOf(Server("s3", "one-a", "10.0.1.1", "7001")));
  areas.push_back(AreaOf(Server("s9", "two-a", "10.0.2.9", "7002"),
                         Server("s1", "two-b", "10.0.2.1", "7002")));
  areas.push_back(AreaOf(Server("s4", "three-a", "10.0.3.1", "7003")));
  return areas;
}

// --- Choice of the current server ---

TEST(ServerChoiceTest, SavedSidInAreasZeroAndTwoTakesAreaTwo) {
  const AreaList areas = FourAreas();
  const ServerChoice choice = ChooseCurrentServer(areas, BySid("s1"), Previous());
  ASSERT_NE(choice.taken, nullptr);
  EXPECT_EQ(choice.taken, areas[2].servers[1].get());
  EXPECT_EQ(choice.strings.addr, "10.0.2.1");
  EXPECT_EQ(choice.strings.port, "7002");
  EXPECT_EQ(choice.strings.sid, "s1");
  EXPECT_EQ(choice.strings.chargeUrl, "charge");
}

TEST(ServerChoiceTest, TwoMatchesInOneAreaTakeTheFirst) {
  AreaList areas;
  areas.push_back(AreaOf(Server("s1", "first", "a", "1"), Server("s1", "second", "b", "2")));
  const ServerChoice choice = ChooseCurrentServer(areas, BySid("s1"), Previous());
  ASSERT_NE(choice.taken, nullptr);
  EXPECT_EQ(choice.taken->name, "first");
}

TEST(ServerChoiceTest, SidBeyondTheThirdAreaOrNowhereChoosesNothingAndClears) {
  const AreaList areas = FourAreas();
  for (const char* sid : {"s4", "missing"}) {
    const ServerChoice choice = ChooseCurrentServer(areas, BySid(sid), Previous());
    EXPECT_EQ(choice.taken, nullptr) << sid;
    EXPECT_TRUE(choice.strings.addr.empty() && choice.strings.port.empty() &&
                choice.strings.sid.empty() && choice.strings.chargeUrl.empty())
        << sid;
  }
}

TEST(ServerChoiceTest, UnmatchedSidDoesNotFallBackToTheSavedAddress) {
  const AreaList areas = FourAreas();
  const SavedServerKeys saved{"missing", "10.0.0.1", "7000"};
  EXPECT_EQ(ChooseCurrentServer(areas, saved, Previous()).taken, nullptr);
}

TEST(ServerChoiceTest, TwoAreasOnlyAreSearchedAsFarAsTheyGo) {
  AreaList areas;
  areas.push_back(AreaOf(Server("a", "x", "1", "1")));
  areas.push_back(AreaOf(Server("b", "y", "2", "2")));
  const ServerChoice choice = ChooseCurrentServer(areas, BySid("b"), Previous());
  ASSERT_NE(choice.taken, nullptr);
  EXPECT_EQ(choice.taken->name, "y");
  EXPECT_EQ(ChooseCurrentServer(AreaList{}, BySid("b"), Previous()).taken, nullptr);
}

TEST(ServerChoiceTest, SavedAddressNeedsTheSamePortAndTheLastAreaWins) {
  AreaList areas;
  areas.push_back(AreaOf(Server("p", "plain", "host", ""), Server("q", "q", "host", "80")));
  areas.push_back(AreaOf(Server("r", "r", "host", "80")));
  EXPECT_EQ(ChooseCurrentServer(areas, ByAddress("host", "80"), Previous()).taken->sid, "r");
  // An empty saved port matches only an empty port.
  EXPECT_EQ(ChooseCurrentServer(areas, ByAddress("host", ""), Previous()).taken->sid, "p");
  const ServerChoice none = ChooseCurrentServer(areas, ByAddress("host", "81"), Previous());
  EXPECT_EQ(none.taken, nullptr);
  EXPECT_TRUE(none.strings.sid.empty());
}

TEST(ServerChoiceTest, WithoutSavedKeysTheFirstNamedServerOfAreaZero) {
  AreaList areas;
  areas.push_back(AreaOf(Server("u", "", "unnamed", "1"), Server("n", "named", "addr", "2")));
  areas.push_back(AreaOf(Server("m", "other", "x", "3")));
  const ServerChoice choice = ChooseCurrentServer(areas, SavedServerKeys{}, Previous());
  ASSERT_NE(choice.taken, nullptr);
  EXPECT_EQ(choice.taken->sid, "n");
  EXPECT_EQ(choice.strings.addr, "addr");
}

TEST(ServerChoiceTest, WithoutSavedKeysAndNoNamedServerThePreviousChoiceStays) {
  AreaList areas;
  areas.push_back(AreaOf(Server("u", "", "unnamed", "1")));
  areas.push_back(AreaOf(Server("m", "named-but-area-1", "x", "3")));
  const AreaList none;
  const AreaList* const lists[] = {&areas, &none};
  for (const AreaList* list : lists) {
    const ServerChoice choice = ChooseCurrentServer(*list, SavedServerKeys{}, Previous());
    EXPECT_EQ(choice.taken, nullptr);
    EXPECT_EQ(choice.strings.sid, "old-sid");
    EXPECT_EQ(choice.strings.addr, "old-addr");
  }
}

TEST(ServerChoiceTest, VersionTextComparesUnitByUnit) {
  EXPECT_EQ(VersionTextToShow("1.10", "1.9"), "1.9");
  EXPECT_EQ(VersionTextToShow("1.9", "1.10"), "1.9");
  EXPECT_EQ(VersionTextToShow("1.2", "1.2.1"), "1.2.1");
  EXPECT_EQ(VersionTextToShow("1.2.1", "1.2"), "1.2.1");
  EXPECT_EQ(VersionTextToShow("", "0"), "0");
  EXPECT_EQ(VersionTextToShow("3", ""), "3");
}

TEST(ServerChoiceTest, NamedStringsReadTheGuardedChoice) {
  ChosenServer chosen = Previous();
  SetChosenServer(chosen);
  EXPECT_EQ(g_strServerAddr.Get(), "old-addr");
  EXPECT_EQ(g_strServerPort.Get(), "old-port");
  EXPECT_EQ(g_strChargeUrl.Get(), "old-charge");
  EXPECT_EQ(g_strServerSid.Get(), "old-sid");
  ClearChosenServer();
  EXPECT_TRUE(g_strServerSid.IsEmpty());
}

// --- Parsing ---

TEST(ServerListParseTest, IntegersAsTheListWritesThem) {
  EXPECT_EQ(ParseListInteger("42"), 42);
  EXPECT_EQ(ParseListInteger("  \t-12x7"), -12);
  EXPECT_EQ(ParseListInteger("+7"), 7);
  EXPECT_EQ(ParseListInteger("abc"), 0);
  EXPECT_EQ(ParseListInteger(""), 0);
  EXPECT_EQ(ParseListInteger("- 5"), 0);
  EXPECT_EQ(ParseListInteger("99999999999999999999999"), INT_MAX);
  EXPECT_EQ(ParseListInteger("-99999999999999999999999"), INT_MIN);
  EXPECT_EQ(ParseListInteger("-2147483648"), INT_MIN);
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
  EXPECT_EQ(alpha.sid, "11");
  EXPECT_EQ(alpha.name, "Alpha");
  EXPECT_EQ(alpha.address, "1.2.3.4");
  EXPECT_EQ(alpha.chargeIp, "5.6.7.8");
  EXPECT_EQ(alpha.port, "7000x");  // kept as text
  EXPECT_EQ(alpha.state, -2);
  EXPECT_EQ(areas[0].servers[1]->name, "\xE4\xB8\x9C&B");
  EXPECT_EQ(areas[1].pid, 0);
  EXPECT_TRUE(areas[1].servers.empty());
}

TEST(ServerListParseTest, OtherRootIsAcceptedButReadsNothing) {
  CMarkup markup;
  ASSERT_TRUE(markup.Load("<Velmor><area name=\"a\"><server sid=\"1\"/></area></Velmor>"));
  AreaList areas = FourAreas();
  EXPECT_FALSE(ParseServerListDocument(markup, areas));
  EXPECT_EQ(areas.size(), 4u);
}

TEST(ServerListParseTest, AreaWithoutAttributesKeepsNoServers) {
  const AreaList areas = Parse(
      "<velmor><area><server sid=\"1\" name=\"lost\"/></area>"
      "<area name=\"\"><server/></area></velmor>");
  ASSERT_EQ(areas.size(), 2u);
  EXPECT_TRUE(areas[0].servers.empty());
  // An empty attribute is still an attribute; a bare server is all empty.
  ASSERT_EQ(areas[1].servers.size(), 1u);
  const ServerInfo& bare = *areas[1].servers[0];
  EXPECT_TRUE(bare.sid.empty() && bare.name.empty() && bare.address.empty() &&
              bare.port.empty() && bare.chargeIp.empty());
  EXPECT_EQ(bare.state, 0);
}

TEST(ServerListParseTest, RepeatedAttributesLastOneCounts) {
  const AreaList areas = Parse(
      "<velmor><area pid=\"1\" pid=\"2\" name=\"a\" name=\"b\">"
      "<server sid=\"x\" sid=\"y\" port=\"1\" port=\"2\"/></area></velmor>");
  ASSERT_EQ(areas.size(), 1u);
  EXPECT_EQ(areas[0].pid, 2);
  EXPECT_EQ(areas[0].name, "b");
  EXPECT_EQ(areas[0].servers[0]->sid, "y");
  EXPECT_EQ(areas[0].servers[0]->port, "2");
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

TEST_F(ServerListFileTest, PlainListNeverTouchesTheTemporaryFile) {
  WriteFile(List(), kSmallList);
  const ServerListReadResult read = ReadServerListFile("ServerList.xml");
  ASSERT_EQ(read.outcome, ServerListRead::kParsed);
  ASSERT_EQ(read.areas.size(), 1u);
  EXPECT_EQ(read.areas[0].servers[0]->sid, "7");
  EXPECT_FALSE(PathExists(Tmp()));
}

TEST_F(ServerListFileTest, ScrambledListIsReadThroughATemporaryFileThatGoes) {
  WriteScrambledFile(List(), kSmallList);
  WriteFile(Tmp(), "stale leftover");
  const ServerListReadResult read = ReadServerListFile("ServerList.xml");
  ASSERT_EQ(read.outcome, ServerListRead::kParsed);
  ASSERT_EQ(read.areas.size(), 1u);
  EXPECT_EQ(read.areas[0].name, "A");
  EXPECT_EQ(read.areas[0].servers[0]->port, "1");
  EXPECT_FALSE(PathExists(Tmp()));
}

TEST_F(ServerListFileTest, UnreadableInputFailsAndLeavesNoTemporaryFile) {
  EXPECT_EQ(ReadServerListFile("ServerList.xml").outcome, ServerListRead::kFailed);  // missing
  EXPECT_EQ(ReadServerListFile("").outcome, ServerListRead::kFailed);
  for (const std::string& bytes :
       {std::string("not xml at all"), std::string("<velmor><area>"), std::string(),
        std::string("\0\0\0\0", 4), testing_support::Scramble("<velmor><area></velmor>")}) {
    WriteFile(List(), bytes);
    EXPECT_EQ(ReadServerListFile("ServerList.xml").outcome, ServerListRead::kFailed);
    EXPECT_FALSE(PathExists(Tmp()));
  }
}

TEST_F(ServerListFileTest, OtherRootPlainOrScrambled) {
  WriteFile(List(), "<servers><area name=\"x\"/></servers>");
  EXPECT_EQ(ReadServerListFile("ServerList.xml").outcome, ServerListRead::kOtherRoot);
  WriteScrambledFile(List(), "<servers/>");
  EXPECT_EQ(ReadServerListFile("ServerList.xml").outcome, ServerListRead::kOtherRoot);
  EXPECT_FALSE(PathExists(Tmp()));
}

}  // namespace
