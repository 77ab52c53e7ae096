#include "tidewell/md5.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/support/temp_dir.h"
#include "tidewell/md5_file.h"

namespace {

std::string Hex(const std::string& bytes) {
  MD5 digest;
  digest.update(bytes.data(), bytes.size());
  digest.finalize();
  return digest.hexdigest();
}

TEST(Md5Test, MatchesTheRfc1321TestSuite) {
  const std::pair<std::string, std::string> suite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [input, expected] : suite) EXPECT_EQ(Hex(input), expected) << '"' << input << '"';
}

TEST(Md5Test, PiecewiseUpdatesEqualOneUpdate) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 7);
  // Lengths around the 56- and 64-byte padding boundaries, and chunks that
  // straddle blocks.
  for (size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
    const std::string part = data.substr(0, length);
    for (size_t chunk : {1u, 3u, 63u, 64u, 100u}) {
      MD5 digest;
      for (size_t at = 0; at < part.size(); at += chunk) {
        digest.update(part.data() + at, std::min(chunk, part.size() - at));
      }
      digest.finalize();
      EXPECT_EQ(digest.hexdigest(), Hex(part)) << length << "/" << chunk;
    }
  }
}

TEST(Md5Test, DigestOnlyAfterFinalizeAndFinalizeOnce) {
  MD5 digest;
  digest.update("abc", 3);
  EXPECT_EQ(digest.hexdigest(), "");
  digest.finalize();
  digest.finalize();
  digest.update("more", 4);
  EXPECT_EQ(digest.hexdigest(), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(VerifyFileMd5Test, ComparesTheWholeFileIgnoringCase) {
  testing_support::TempDir dir;
  const std::string content(10000, 'x');  // several reads of the chunk size
  testing_support::WriteFile(dir.File("f"), content);
  const wxString digest = wxString(Hex(content));

  wxFile lower(dir.File("f"), wxFile::read);
  EXPECT_TRUE(tidewell::VerifyFileMd5(lower, digest));
  wxFile upper(dir.File("f"), wxFile::read);
  EXPECT_TRUE(tidewell::VerifyFileMd5(upper, digest.Upper()));
  wxFile longer(dir.File("f"), wxFile::read);
  EXPECT_FALSE(tidewell::VerifyFileMd5(longer, digest + "00"));
  wxFile other(dir.File("f"), wxFile::read);
  EXPECT_FALSE(tidewell::VerifyFileMd5(other, wxString(Hex("y"))));
}

TEST(VerifyFileMd5Test, EmptyAndUnopenedFilesHashNoData) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("empty"), "");
  wxFile empty(dir.File("empty"), wxFile::read);
  EXPECT_TRUE(tidewell::VerifyFileMd5(empty, "d41d8cd98f00b204e9800998ecf8427e"));
  wxFile closed;
  EXPECT_TRUE(tidewell::VerifyFileMd5(closed, "D41D8CD98F00B204E9800998ECF8427E"));
}

}  // namespace
