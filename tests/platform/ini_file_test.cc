#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

using platform::IniFileHasSection;
using platform::ReadIniSectionNames;
using platform::ReadIniString;
using platform::WriteIniString;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

class IniFileTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir.File("test.ini");
};

TEST_F(IniFileTest, ReadsValuesOrDefaults) {
  WriteFile(path,
            "\xEF\xBB\xBF; comment\r\n"
            "[Addr]\r\n"
            "  ServerListUrl1 =  http://a/list.xml  \r\n"
            "Empty=\r\n"
            "not a pair\r\n"
            "[Web]\r\n"
            "TopUrl=http://b/top.html\r\n");
  EXPECT_EQ(ReadIniString(path, "Addr", "ServerListUrl1", "d"), "http://a/list.xml");
  EXPECT_EQ(ReadIniString(path, "addr", "SERVERLISTURL1", "d"), "http://a/list.xml");
  EXPECT_EQ(ReadIniString(path, "Addr", "Empty", "d"), "");
  EXPECT_EQ(ReadIniString(path, "Addr", "TopUrl", "d"), "d");  // other section
  EXPECT_EQ(ReadIniString(path, "Web", "TopUrl", "d"), "http://b/top.html");
  EXPECT_EQ(ReadIniString(dir.File("none.ini"), "Web", "TopUrl", "d"), "d");
  EXPECT_EQ(ReadIniString(dir.path(), "Web", "TopUrl", "d"), "d");  // a directory
}

TEST_F(IniFileTest, ValuesComeOutAsTheWindowsFunctionsGiveThem) {
  struct Case {
    const char* text;
    const char* expected;  // value of [Addr] Url
  };
  const Case cases[] = {
      {"[Addr]\r\r\nUrl=http://a/\r\r\nX=1\r\r\n", "http://a/"},  // unscrambled CRLF file
      {"[Addr]\rUrl=http://a/\rX=1", "http://a/"},                // CR alone ends a line
      {"[Addr]\nUrl = \t\"http://a/ b\" \v\n", "http://a/ b"},
      {"[Addr]\nUrl='http://a/'\n", "http://a/"},
      {"[Addr]\nUrl=\"http://a/'\n", "\"http://a/'"},  // quotes that do not pair stay
      {"[Addr]\nUrl=\"\n", "\""},
      {"[Addr]\nUrl=\"\"\n", ""},
      {"[Addr]\nX=1\n[Web]\nUrl=w\n[addr]\nUrl=second\n", "d"},  // first section only
      {"[Addr]\nUrl=first\n[Web]\n[Addr]\nUrl=second\n", "first"},
  };
  for (const Case& c : cases) {
    WriteFile(path, c.text);
    EXPECT_EQ(ReadIniString(path, "Addr", "Url", "d"), c.expected) << c.text;
  }
  EXPECT_EQ(ReadIniString(path, "Addr", "None", "d  "), "d");
  EXPECT_EQ(ReadIniString(path, "Addr", "None", "   "), "");
  WriteFile(path, "[Web]\nA=\"" + std::string(300, 'x') + "\"\n");
  EXPECT_EQ(ReadIniString(path, "Web", "A", ""), std::string(254, 'x'));
}

// Saved as "Unicode" on Windows: UTF-16LE with its mark, read and kept so.
TEST_F(IniFileTest, Utf16FilesAreReadAndWrittenAsSuch) {
  const auto utf16 = [](const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
      bytes += static_cast<char>(unit & 0xFF);
      bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
  };
  WriteFile(path, utf16(u"[Addr]\r\nUrl=http://\u6e38/\U0001F600\r\n"));
  EXPECT_TRUE(IniFileHasSection(path));
  EXPECT_EQ(ReadIniString(path, "Addr", "Url", "d"), "http://\xE6\xB8\xB8/\xF0\x9F\x98\x80");
  ASSERT_TRUE(WriteIniString(path, "Addr", "Next", "\xE6\xB8\xB8"));
  EXPECT_EQ(ReadFile(path), utf16(u"[Addr]\r\nUrl=http://\u6e38/\U0001F600\r\nNext=\u6e38\r\n"));
  WriteFile(path, utf16(u"[A]\r\nK=\xD800x") + "\x41");  // lone surrogate, odd last byte
  EXPECT_EQ(ReadIniString(path, "A", "K", "d"), "\xEF\xBF\xBDx\xEF\xBF\xBD");
}

TEST_F(IniFileTest, LongValuesAreCutWithoutSplittingCharacters) {
  const std::string ascii(300, 'x');
  std::string chinese;
  for (int i = 0; i < 300; ++i) chinese += "\xE6\xB8\xB8";  // one three-byte character
  WriteFile(path, "[Web]\nA=" + ascii + "\nB=" + chinese + "\n");
  EXPECT_EQ(ReadIniString(path, "Web", "A", ""), std::string(254, 'x'));
  EXPECT_EQ(ReadIniString(path, "Web", "B", ""), chinese.substr(0, 254 * 3));
}

TEST_F(IniFileTest, BadBytesAndHugeLinesNeverFail) {
  std::string bytes = "[S]\nK=\xFF\xFE\xC3\n";
  bytes += "L=" + std::string(1 << 20, '\x80') + "\n";
  bytes += std::string(1 << 20, '[') + "\n";
  bytes.push_back('\0');
  bytes += "\n[T]\nM=ok";  // last line without a line break
  WriteFile(path, bytes);
  EXPECT_EQ(ReadIniString(path, "S", "K", "d"), "\xFF\xFE\xC3");
  EXPECT_EQ(ReadIniString(path, "S", "L", "d"), std::string(254, '\x80'));
  EXPECT_EQ(ReadIniString(path, "T", "M", "d"), "ok");
}

TEST_F(IniFileTest, WriteCreatesFileSectionAndKey) {
  ASSERT_TRUE(WriteIniString(path, "Setting", "Resolution", "1024*768"));
  ASSERT_TRUE(WriteIniString(path, "Setting", "BackGroundMusic", ""));
  ASSERT_TRUE(WriteIniString(path, "Version", "Version", "0.0"));
  EXPECT_EQ(ReadFile(path),
            "[Setting]\nResolution=1024*768\nBackGroundMusic=\n[Version]\nVersion=0.0\n");
}

TEST_F(IniFileTest, WriteKeepsOtherLinesAndReplacesInPlace) {
  WriteFile(path,
            "; keep me\r\n[Setup]\r\nServerAddr=1.2.3.4\r\nServerPort=7000\r\n\r\n"
            "[Other]\r\nx=1\r\n");
  ASSERT_TRUE(WriteIniString(path, "SETUP", "serveraddr", "5.6.7.8"));
  ASSERT_TRUE(WriteIniString(path, "Setup", "ServerSid", "12"));
  ASSERT_TRUE(WriteIniString(path, "Other", "y", "2"));
  EXPECT_EQ(ReadFile(path),
            "; keep me\r\n[Setup]\r\nserveraddr=5.6.7.8\r\nServerPort=7000\r\nServerSid=12\r\n\r\n"
            "[Other]\r\nx=1\r\ny=2\r\n");
  // CR CR LF lines and a last line without a break stay as they were.
  WriteFile(path, "[Setup]\r\r\nServerAddr=1\r\r\n[Other]\r\r\nx=1");
  ASSERT_TRUE(WriteIniString(path, "Setup", "ServerAddr", "2"));
  ASSERT_TRUE(WriteIniString(path, "Other", "y", "3"));
  EXPECT_EQ(ReadFile(path), "[Setup]\r\r\nServerAddr=2\r\r\n[Other]\r\r\nx=1\r\ny=3\r\n");
}

TEST_F(IniFileTest, WriteRefusesWhatWouldPlantLines) {
  EXPECT_FALSE(WriteIniString(path, "Setup", "Key", "a\n[Evil]\nb=c"));
  EXPECT_FALSE(WriteIniString(path, "Se]tup", "Key", "v"));
  EXPECT_FALSE(WriteIniString(path, "Setup", "K=ey", "v"));
  EXPECT_FALSE(WriteIniString(path, "", "Key", "v"));
  EXPECT_FALSE(testing_support::PathExists(path));
  EXPECT_FALSE(WriteIniString(dir.File("no/such/dir.ini"), "S", "K", "v"));
  EXPECT_FALSE(WriteIniString(dir.path(), "S", "K", "v"));  // a directory
}

TEST_F(IniFileTest, SectionNamesTellPlainFromScrambled) {
  EXPECT_FALSE(IniFileHasSection(path));              // missing
  WriteFile(path, "\x8b\x9c\xa1\xff\x10[\x02=\x05");  // scrambled bytes
  EXPECT_FALSE(IniFileHasSection(path));
  WriteFile(path, "a=b\n[Addr]\n[Web]\n[addr]\n");
  EXPECT_TRUE(IniFileHasSection(path));
  EXPECT_EQ(ReadIniSectionNames(path), (std::vector<std::string>{"Addr", "Web"}));
}

}  // namespace
