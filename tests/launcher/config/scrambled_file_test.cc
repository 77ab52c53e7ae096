#include "launcher/config/scrambled_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "launcher/system/instance_path.h"
#include "tests/support/scramble.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::PathExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

class ScrambledFileTest : public ::testing::Test {
 protected:
  void SetUp() override { SetInstancePath(wxString::FromUTF8(dir_.path())); }

  // Unscrambles `stored` from "in.dat" into "out.tmp" and returns the output.
  std::string Unscramble(const std::string& stored) {
    WriteFile(dir_.File("in.dat"), stored);
    EXPECT_TRUE(UnscrambleFile("out.tmp", "in.dat", kConfigCipherKey));
    return ReadFile(dir_.File("out.tmp"));
  }

  TempDir dir_;
};

TEST_F(ScrambledFileTest, KeyCyclesOverEightBytesAndWraps) {
  // "QoTarK58" is the cycle: a stored key byte gives plain 0, one more gives 1.
  std::string stored = "QoTarK58";
  stored += "Q";     // ninth byte: key character 0 again
  stored += '\x00';  // smaller than 'o': wraps to 0x100 - 'o'
  stored +=
      "T"
      "\x01";
  const std::string plain = Unscramble(stored);
  ASSERT_EQ(plain.size(), 12u);
  EXPECT_EQ(plain.substr(0, 9), std::string(9, '\0'));
  EXPECT_EQ(static_cast<unsigned char>(plain[9]), 0x100 - 'o');
  EXPECT_EQ(plain[10], '\0');
  EXPECT_EQ(static_cast<unsigned char>(plain[11]), (0x101 - 'a') & 0xFF);
}

TEST_F(ScrambledFileTest, LineFeedsBecomeCrLfWithoutShiftingTheKey) {
  const std::string plain = "[Addr]\nA=1\r\nB=2\n";
  EXPECT_EQ(Unscramble(testing_support::Scramble(plain)), "[Addr]\r\nA=1\r\r\nB=2\r\n");
}

TEST_F(ScrambledFileTest, GarbageIsUnscrambledByteForByte) {
  std::mt19937 random(7);
  std::string stored(4096, '\0');
  for (char& c : stored) c = static_cast<char>(random());
  const std::string plain = Unscramble(stored);
  size_t lineFeeds = 0;
  for (size_t n = 0; n < stored.size(); ++n)
    lineFeeds += static_cast<unsigned char>(stored[n] - "QoTarK58"[n % 8]) == 0x0A;
  EXPECT_EQ(plain.size(), stored.size() + lineFeeds);
}

TEST_F(ScrambledFileTest, EmptySourceTruncatesMissingSourceOrTargetDirectoryFails) {
  WriteFile(dir_.File("out.tmp"), "old contents are truncated");
  EXPECT_EQ(Unscramble(""), "");

  std::filesystem::remove(dir_.File("out.tmp"));
  EXPECT_FALSE(UnscrambleFile("out.tmp", "missing.dat", kConfigCipherKey));
  EXPECT_FALSE(PathExists(dir_.File("out.tmp")));
  EXPECT_FALSE(UnscrambleFile("no/such/dir/out.tmp", "in.dat", kConfigCipherKey));
}

TEST_F(ScrambledFileTest, ReadOnlySourceIsRefused) {
  if (geteuid() == 0) GTEST_SKIP() << "root opens read-only files for update";
  WriteFile(dir_.File("in.dat"), "abc");
  std::filesystem::permissions(dir_.File("in.dat"), std::filesystem::perms::owner_read);
  EXPECT_FALSE(UnscrambleFile("out.tmp", "in.dat", kConfigCipherKey));
  EXPECT_FALSE(PathExists(dir_.File("out.tmp")));
}

TEST_F(ScrambledFileTest, StreamWithShortKeyTreatsMissingKeyBytesAsZero) {
  // Key "abc": the index starts at 3, so bytes 0..4 use the zero key bytes 3..7,
  // then the cycle begins again at 'a'.
  const std::string stored =
      "\x10\x11\x12\x13\x14"
      "bcd"
      "\x05\x06\x07\x08\x09"
      "b";
  WriteFile(dir_.File("in.dat"), stored);
  platform::StdioFile source = platform::OpenStdioFile(dir_.File("in.dat").c_str(), "rb");
  ASSERT_NE(source, nullptr);
  EXPECT_TRUE(UnscrambleStream(dir_.File("out.tmp"), std::move(source), "abc"));
  EXPECT_EQ(ReadFile(dir_.File("out.tmp")),
            "\x10\x11\x12\x13\x14"
            "\x01\x01\x01"
            "\x05\x06\x07\x08\x09"
            "\x01");

  // A key of eight characters or more starts at its first character.
  WriteFile(dir_.File("in.dat"), "bcdefghij");
  source = platform::OpenStdioFile(dir_.File("in.dat").c_str(), "rb");
  ASSERT_NE(source, nullptr);
  EXPECT_TRUE(UnscrambleStream(dir_.File("out.tmp"), std::move(source), "abcdefghXYZ"));
  EXPECT_EQ(ReadFile(dir_.File("out.tmp")), std::string(8, '\x01') + "\x09");
}

}  // namespace
