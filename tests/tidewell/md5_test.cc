#include "tidewell/md5.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
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
  for (const auto& [input, expected] : suite)
    EXPECT_EQ(Hex(input), expected) << '"' << input << '"';
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
  constexpr size_t kRead = size_t{1} << 20;           // what one read asks for
  const std::string content(2 * kRead + 10000, 'x');  // several reads
  testing_support::WriteFile(dir.File("f"), content);
  testing_support::WriteFile(dir.File("empty"), "");
  const std::string twoReads(2 * kRead, 'z');  // ends exactly with a read
  testing_support::WriteFile(dir.File("exact"), twoReads);
  const wxString digest = Hex(content), none = "d41d8cd98f00b204e9800998ecf8427e";
  // nullptr: a file never opened, which hashes no data.
  const std::tuple<const char*, wxString, bool> cases[] = {
      {"f", digest, true},           {"f", digest.Upper(), true}, {"f", digest + "00", false},
      {"f", Hex("y"), false},        {"empty", none, true},       {nullptr, none.Upper(), true},
      {"exact", Hex(twoReads), true}};
  for (const auto& [name, expected, matches] : cases) {
    wxFile file;
    if (name) {
      ASSERT_TRUE(file.Open(dir.File(name), wxFile::read));
    }
    EXPECT_EQ(tidewell::VerifyFileMd5(file, expected), matches)
        << (name ? name : "unopened") << " " << expected;
  }
}

}  // namespace
