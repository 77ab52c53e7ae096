#include "launcher/packages/package_extraction.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "launcher/config/double_backslashes.h"
#include "launcher/packages/archive_reader.h"
#include "launcher/packages/inflate_ahead.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_builder.h"

namespace {

using testing_support::FindSignatures;
using testing_support::PathExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::UnixEntry;
using testing_support::WriteFile;
using testing_support::WriteZipArchive;
using testing_support::ZipEntrySpec;

std::string Repeated(const std::string& piece, size_t times) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += piece;
  return text;
}

ZipEntrySpec Entry(const std::string& name, const std::string& contents) {
  ZipEntrySpec entry;
  entry.name = name;
  entry.contents = contents;
  return entry;
}

class PackageExtractionTest : public ::testing::Test {
 protected:
  // Writes <dir>/pkg.upd and returns the stem <dir>/pkg.
  std::string MakePackage(const std::vector<ZipEntrySpec>& entries, const char* ext = ".upd") {
    EXPECT_TRUE(WriteZipArchive(dir_.File(std::string("pkg") + ext), entries));
    return dir_.File("pkg");
  }

  bool Unzip(const std::string& stem, bool isTre = false) {
    progress_.clear();
    return UnzipPackage(wxString::FromUTF8(stem), isTre,
                        [this](float percent) { progress_.push_back(percent); });
  }

  std::unique_ptr<ArchiveReader> Open(const std::string& stem) {
    return ArchiveReader::Open(wxString::FromUTF8(stem + ".upd"));
  }

  // Rewrites the archive's bytes with `change`.
  template <typename Change>
  void Patch(const std::string& path, Change change) {
    std::string bytes = ReadFile(path);
    change(bytes);
    WriteFile(path, bytes);
  }

  // Everything in `dir` (a temporary file left behind would show here).
  static std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir_;
  std::vector<float> progress_;
};

TEST_F(PackageExtractionTest, UnpacksEntriesBesideThePackageWithProgressPerEntry) {
  const std::string big(100000, 'x');  // more than one pass of the extraction buffer
  const std::string stem = MakePackage({Entry("a.txt", "alpha"), Entry("sub/dir/f.txt", "deep"),
                                        Entry("big.bin", big), Entry("empty", "")});
  ASSERT_TRUE(Unzip(stem));
  EXPECT_EQ(ReadFile(stem + "/a.txt"), "alpha");
  EXPECT_EQ(ReadFile(stem + "/sub/dir/f.txt"), "deep");
  EXPECT_EQ(ReadFile(stem + "/big.bin"), big);
  EXPECT_TRUE(PathExists(stem + "/empty"));
  EXPECT_EQ(progress_, (std::vector<float>{25, 50, 75, 100}));
  EXPECT_EQ(LastArchiveResult(), archive_result::kOk);
}

TEST_F(PackageExtractionTest, TreExtensionAndTheStemWithItsBackslashesDoubled) {
  // A backslash is an ordinary character of a directory name here; the
  // status callback passes the stem with it doubled.
  const std::string game = dir_.File("my\\games");
  std::filesystem::create_directories(game);
  ASSERT_TRUE(WriteZipArchive(game + "/pkg.tre", {Entry("t.txt", "tre")}));
  wxString stem = wxString::FromUTF8(game + "/pkg");
  DoubleBackslashes(stem);
  ASSERT_TRUE(Unzip(stem.utf8_string(), true));
  EXPECT_EQ(ReadFile(game + "/pkg/t.txt"), "tre");
  EXPECT_FALSE(PathExists(dir_.File("my")));       // not read as a separator
  EXPECT_FALSE(Unzip(stem.utf8_string(), false));  // no pkg.upd
  // A package made on Windows may spell its extension in any case.
  ASSERT_TRUE(WriteZipArchive(game + "/win.UpD", {Entry("w.txt", "win")}));
  ASSERT_TRUE(Unzip(game + "/win"));
  EXPECT_EQ(ReadFile(game + "/win/w.txt"), "win");
}

TEST_F(PackageExtractionTest, EmptyArchiveSucceedsAndBadPackagesFailCleanly) {
  ASSERT_TRUE(Unzip(MakePackage({})));
  EXPECT_TRUE(progress_.empty());
  EXPECT_FALSE(PathExists(dir_.File("pkg")));

  EXPECT_FALSE(Unzip(dir_.File("none")));
  EXPECT_EQ(LastArchiveResult(), archive_result::kOpenFailed);
  // A package named only ".upd", or "..upd", would unpack into the
  // directory holding it, after clearing it.
  WriteZipArchive(dir_.File(".upd"), {Entry("a.txt", "a")});
  WriteZipArchive(dir_.File("..upd"), {Entry("a.txt", "a")});
  EXPECT_FALSE(Unzip(dir_.path()));
  EXPECT_FALSE(Unzip(dir_.File(".")));
  EXPECT_FALSE(PathExists(dir_.File("a.txt")));
  std::remove(dir_.File(".upd").c_str());
  std::remove(dir_.File("..upd").c_str());
  WriteFile(dir_.File("junk.upd"), std::string(500, 'j'));
  EXPECT_FALSE(Unzip(dir_.File("junk")));
  const std::string stem = MakePackage({Entry("a.txt", std::string(5000, 'a')), Entry("b", "b")});
  Patch(stem + ".upd", [](std::string& bytes) { bytes.resize(bytes.size() / 2); });
  EXPECT_FALSE(Unzip(stem));
  EXPECT_EQ(Names(dir_.path()), (std::vector<std::string>{"junk.upd", "pkg.upd"}));
}

TEST_F(PackageExtractionTest, StoredNamesAreCleaned) {
  for (const auto& [stored, cleaned] : std::vector<std::pair<std::string, std::string>>{
           {"C:\\dir\\..\\a.txt", "a.txt"},
           {"/x/y.txt", "x/y.txt"},
           {"a/b/../c.txt", "c.txt"},
           {"\\\\server/x\\..\\y/../z", "z"},
           {"a\\../b", "b"},
           {"a/..\\b", "b"},
           // Names of the longest kind a zip can store, made of what is dropped.
           {Repeated("/", 65000) + "a.txt", "a.txt"},
           {Repeated("C:", 32000) + "b.txt", "b.txt"},
           {Repeated("C:x\\..\\/", 8000) + "c", "c"}}) {
    EXPECT_EQ(ArchiveReader::CleanEntryName(stored), cleaned) << stored;
  }
  // Backslashes in stored names are separators; a run of them inside a name
  // adds no level.
  const std::string stem = MakePackage({Entry("C:\\dir\\..\\a.txt", "1"), Entry("w\\v\\u.txt", "2"),
                                        Entry("d" + Repeated("/\\", 1500) + "e.txt", "3")});
  ASSERT_TRUE(Unzip(stem));
  EXPECT_EQ(ReadFile(stem + "/a.txt"), "1");
  EXPECT_EQ(ReadFile(stem + "/w/v/u.txt"), "2");
  EXPECT_EQ(ReadFile(stem + "/d/e.txt"), "3");
}

TEST_F(PackageExtractionTest, NamesThatClimbOutOfThePackageDirectoryAreRefused) {
  const std::string stem =
      MakePackage({Entry("../evil1.txt", "x"), Entry("..\\evil2.txt", "x"),
                   Entry("x/../../evil3.txt", "x"), Entry("..", "x"), Entry("ok.txt", "fine")});
  EXPECT_FALSE(Unzip(stem));  // a refused entry fails the package
  EXPECT_FALSE(PathExists(stem));
  for (const char* name : {"evil1.txt", "evil2.txt", "evil3.txt"}) {
    EXPECT_FALSE(PathExists(dir_.File(name))) << name;
  }
  std::unique_ptr<ArchiveReader> reader = Open(stem);
  ASSERT_TRUE(reader);
  reader->SetBaseDir(wxString::FromUTF8(dir_.File("other")));
  ArchiveEntry entry;
  ASSERT_EQ(reader->GetItem(0, entry), archive_result::kOk);
  EXPECT_EQ(entry.name, "../evil1.txt");
  EXPECT_EQ(reader->ExtractItem(0, entry.name), archive_result::kOpenFailed);
  // Whatever name a caller passes, it stays below the base directory.
  EXPECT_EQ(reader->ExtractItem(4, "/tmp/evil4.txt"), archive_result::kOpenFailed);
  EXPECT_EQ(reader->ExtractItem(4, "C:evil5.txt"), archive_result::kOpenFailed);
  EXPECT_FALSE(PathExists(dir_.File("evil1.txt")));
}

TEST_F(PackageExtractionTest, UnixModesDirectoryEntriesAndUtf8Names) {
  ZipEntrySpec directory = Entry("made/dir/", "");
  directory.externalAttributes = archive_attribute::kDirectory;
  const std::string stem =
      MakePackage({UnixEntry("ro.txt", "r", 0100444), UnixEntry("rw.txt", "w", 0100644),
                   UnixEntry("d/", "", 040755), directory, Entry("更新/文件.txt", "中文")});
  std::unique_ptr<ArchiveReader> reader = Open(stem);
  ASSERT_TRUE(reader);
  ArchiveEntry entry;
  EXPECT_EQ(reader->GetItem(-2, entry), archive_result::kBadIndex);
  EXPECT_EQ(reader->GetItem(5, entry), archive_result::kBadIndex);
  EXPECT_EQ(reader->ExtractItem(5, "x"), archive_result::kBadIndex);
  reader.reset();

  ASSERT_TRUE(Unzip(stem));
  struct stat info {};
  ASSERT_EQ(stat((stem + "/ro.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0222, 0u);
  ASSERT_EQ(stat((stem + "/rw.txt").c_str(), &info), 0);
  EXPECT_NE(info.st_mode & 0200, 0u);
  EXPECT_TRUE(std::filesystem::is_directory(stem + "/d"));
  EXPECT_TRUE(std::filesystem::is_directory(stem + "/made/dir"));
  EXPECT_EQ(ReadFile(stem + "/更新/文件.txt"), "中文");
}

TEST_F(PackageExtractionTest, ExtendedTimeStampWithOnlyTheWriteTime) {
  const int32_t unixTime = 1300000000;
  ZipEntrySpec entry = Entry("t.txt", "time");
  // An unrelated block first, then "UT" with flags 1 (write time only).
  entry.localExtra = std::string("\x99\x99\x02\x00zz", 6) + std::string("UT\x05\x00\x01", 5);
  for (int i = 0; i < 4; ++i) entry.localExtra.push_back(static_cast<char>(unixTime >> (8 * i)));
  const std::string stem = MakePackage({entry});
  ASSERT_TRUE(Unzip(stem));
  struct stat info {};
  ASSERT_EQ(stat((stem + "/t.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, unixTime);
}

TEST_F(PackageExtractionTest, EncryptedEntryFailsAndTheOthersAreExtracted) {
  const std::string stem = MakePackage({Entry("secret.txt", "hidden"), Entry("open.txt", "o")});
  Patch(stem + ".upd", [](std::string& bytes) {
    // Mark the first entry encrypted in its local header and central record.
    bytes[FindSignatures(bytes, "PK\x03\x04")[0] + 6] |= 1;
    bytes[FindSignatures(bytes, "PK\x01\x02")[0] + 8] |= 1;
  });
  std::unique_ptr<ArchiveReader> reader = Open(stem);
  ASSERT_TRUE(reader);
  reader->SetBaseDir(wxString::FromUTF8(stem));
  EXPECT_EQ(reader->ExtractItem(0, "secret.txt"), archive_result::kEncrypted);
  EXPECT_EQ(reader->ExtractItem(1, "open.txt"), archive_result::kOk);
  // No empty file stands in for the entry that failed.
  EXPECT_FALSE(PathExists(stem + "/secret.txt"));
  reader.reset();
  // Nor does one left by an earlier unpacking into the same directory:
  // the package fails, and nothing of its directory is left.
  WriteFile(stem + "/secret.txt", "from an older package");
  EXPECT_FALSE(Unzip(stem));
  EXPECT_FALSE(PathExists(stem));
}

TEST_F(PackageExtractionTest, DamagedEntriesFailAloneAndNeverCrash) {
  ZipEntrySpec badChecksum = Entry("bad-crc.txt", "stored as it is");
  badChecksum.deflate = false;
  const std::string stem =
      MakePackage({Entry("bad-data.txt", std::string(3000, 'q')), Entry("bad-header.txt", "h"),
                   Entry("good.txt", "g"), badChecksum});
  Patch(stem + ".upd", [](std::string& bytes) {
    const auto local = FindSignatures(bytes, "PK\x03\x04");
    // First entry: its deflated data replaced by an invalid block.
    const size_t data = local[0] + 30 + std::string("bad-data.txt").size();
    for (size_t i = 0; i < 8; ++i) bytes[data + i] = '\xFF';
    // Second entry: the local header names another method than the central record.
    bytes[local[1] + 8] = 0;
    // Fourth entry: stored data that reads well but is not what was packed.
    bytes[local[3] + 30 + std::string("bad-crc.txt").size()] ^= 1;
  });
  std::unique_ptr<ArchiveReader> reader = Open(stem);
  ASSERT_TRUE(reader);
  reader->SetBaseDir(wxString::FromUTF8(stem));
  ArchiveEntry entry;
  EXPECT_EQ(reader->ExtractItem(0, "bad-data.txt"), archive_result::kInflateFailed);
  EXPECT_EQ(reader->GetItem(1, entry), archive_result::kHeaderMismatch);
  EXPECT_EQ(reader->ExtractItem(1, "bad-header.txt"), archive_result::kHeaderMismatch);
  EXPECT_FALSE(PathExists(stem + "/bad-header.txt"));
  EXPECT_EQ(reader->ExtractItem(2, "good.txt"), archive_result::kOk);
  EXPECT_EQ(reader->ExtractItem(3, "bad-crc.txt"), archive_result::kInflateFailed);
  reader.reset();
  // Neither the entry whose data broke off nor any other is left.
  EXPECT_FALSE(Unzip(stem));
  EXPECT_FALSE(PathExists(stem));
}

// A package that fails says why: what kept it from being opened, or its
// first failed entry with the archive code.
TEST_F(PackageExtractionTest, FailedPackagesSayWhy) {
  const auto encrypt = [](std::string& bytes, size_t entry) {
    bytes[FindSignatures(bytes, "PK\x03\x04")[entry] + 6] |= 1;
    bytes[FindSignatures(bytes, "PK\x01\x02")[entry] + 8] |= 1;
  };
  const struct {
    const char* stem;
    std::vector<ZipEntrySpec> entries;
    std::function<void(std::string&)> damage;  // none: junk bytes, or no file at all
    std::string cause;                         // "@" stands for the stem
  } cases[] = {
      {"none", {}, nullptr, "@.upd: No such file or directory"},
      {"junk", {}, nullptr, "@.upd is not a zip archive (archive code 0x200)"},
      {"data",
       {Entry("a.txt", std::string(3000, 'q'))},
       [](std::string& bytes) {
         const size_t data = FindSignatures(bytes, "PK\x03\x04")[0] + 30 + 5;
         for (size_t i = 0; i < 8; ++i) bytes[data + i] = '\xFF';
       },
       "damaged entry a.txt (its data does not inflate, archive code 0x5000000)"},
      {"two",
       {Entry("a.txt", "a"), Entry("b.txt", "b")},
       [&encrypt](std::string& bytes) {
         bytes[FindSignatures(bytes, "PK\x03\x04")[0] + 8] = 0;
         encrypt(bytes, 1);
       },
       "damaged entry number 1 (its local header disagrees with the directory, archive code "
       "0x700), and 1 more entry failed"},
      {"secret",
       {Entry("s.txt", "s")},
       [&encrypt](std::string& bytes) { encrypt(bytes, 0); },
       "encrypted entry s.txt (archive code 0x1000)"},
      {"place",
       {UnixEntry("d/", "", 040755), Entry("d", "x")},
       [](std::string&) {},
       "cannot create @/d: Is a directory (archive code 0x200)"},
      {"short",
       {Entry("a.txt", "a")},
       [](std::string& bytes) {
         const size_t end = FindSignatures(bytes, "PK\x05\x06").back();
         bytes[end + 8] = bytes[end + 10] = 9;
       },
       "damaged package @.upd: its directory names entries it lacks"},
  };
  for (const auto& c : cases) {
    const std::string stem = dir_.File(c.stem);
    if (c.damage) {
      ASSERT_TRUE(WriteZipArchive(stem + ".upd", c.entries));
      Patch(stem + ".upd", c.damage);
    } else if (std::string(c.stem) == "junk") {
      WriteFile(stem + ".upd", std::string(500, 'j'));
    }
    const platform::Status unpacked = UnpackPackage(wxString::FromUTF8(stem), false, nullptr);
    ASSERT_FALSE(unpacked) << c.stem;
    std::string expected = c.cause;
    if (const size_t at = expected.find('@'); at != std::string::npos)
      expected.replace(at, 1, stem);
    EXPECT_EQ(unpacked.error().message, expected);
  }
}

// Entries unpacked ahead on worker threads come out as those the extraction
// reads itself, in whatever order they are asked for: more of them than the
// workers may hold ahead, a large one, an empty one, one whose data is
// damaged and one whose place an earlier file holds.
TEST_F(PackageExtractionTest, EntriesInflatedAheadComeOutAsThoseReadInPlace) {
  std::vector<ZipEntrySpec> entries;
  std::mt19937 random(7);
  for (int i = 0; i < InflateAhead::kMostAhead + 40; ++i) {
    std::string contents(2000 + i * 300, ' ');
    for (char& c : contents) c = static_cast<char>('a' + random() % 26);
    entries.push_back(Entry("f" + std::to_string(i), contents));
  }
  entries.push_back(Entry("large", std::string(size_t{3} << 20, 'L')));
  entries.push_back(Entry("empty", ""));
  entries.push_back(Entry("damaged", std::string(3000, 'q')));
  const int count = static_cast<int>(entries.size());
  const std::string stem = MakePackage(entries);
  Patch(stem + ".upd", [count](std::string& bytes) {
    const size_t data = FindSignatures(bytes, "PK\x03\x04")[count - 1] + 30 + 7;
    for (size_t i = 0; i < 8; ++i) bytes[data + i] = '\xFF';
  });
  std::vector<int> inOrder, everyThird, backAndForth;
  for (int i = 0; i < count; ++i) {
    inOrder.push_back(i);
    if (i % 3 == 0) everyThird.push_back(i);
    backAndForth.push_back(i % 2 ? i - 1 : std::min(i + 1, count - 1));
  }
  for (const auto& [order, indices] :
       {std::pair<const char*, const std::vector<int>&>{"in order", inOrder},
        {"every third", everyThird},
        {"back and forth", backAndForth}}) {
    SCOPED_TRACE(order);
    std::unique_ptr<ArchiveReader> inPlace = Open(stem);
    std::unique_ptr<ArchiveReader> ahead = Open(stem);
    ASSERT_TRUE(inPlace && ahead);
    const std::string plainDir = dir_.File(std::string("plain ") + order);
    const std::string aheadDir = dir_.File(std::string("ahead ") + order);
    for (const std::string& place : {plainDir, aheadDir}) {
      std::filesystem::create_directories(place);
      WriteFile(place + "/f1", "earlier");
    }
    inPlace->SetBaseDir(wxString::FromUTF8(plainDir));
    ahead->SetBaseDir(wxString::FromUTF8(aheadDir));
    ahead->StartInflatingAhead();
    for (int index : indices) {
      ArchiveEntry entry;
      ASSERT_EQ(inPlace->GetItem(index, entry), archive_result::kOk);
      const uint32_t result = inPlace->ExtractItem(index, entry.name);
      EXPECT_EQ(ahead->ExtractItem(index, entry.name), result) << index;
      EXPECT_EQ(result, index == count - 1 ? archive_result::kInflateFailed : archive_result::kOk);
      const std::string name = entry.name.utf8_string();
      EXPECT_EQ(PathExists(aheadDir + "/" + name), result == archive_result::kOk) << name;
      if (result == archive_result::kOk) {
        EXPECT_EQ(ReadFile(aheadDir + "/" + name), ReadFile(plainDir + "/" + name)) << name;
      }
    }
  }
}

TEST_F(PackageExtractionTest, WhatAnEarlierUnpackingLeftGoesFirst) {
  const std::string stem = MakePackage({Entry("taken", "file"), Entry("ok.txt", "k")});
  std::filesystem::create_directories(stem + "/taken/inside");
  WriteFile(stem + "/game.exe.part-7-0", "half");
  ASSERT_TRUE(Unzip(stem));
  EXPECT_EQ(ReadFile(stem + "/taken"), "file");
  EXPECT_EQ(Names(stem), (std::vector<std::string>{"ok.txt", "taken"}));
}

// Within the user's umask: entries marked 0777 or 0666 (as zips made on
// shared or Windows disks are) are not unpacked writable by everyone.
TEST_F(PackageExtractionTest, FilesTakeTheModeTheirEntryCarriesWithinTheUmask) {
  const mode_t umaskBefore = umask(022);
  const struct {
    const char* name;
    uint32_t mode;
    unsigned expected;
  } cases[] = {{"orvo.exe", 0100755, 0755},
               {"data.bin", 0100640, 0640},
               {"tool", 0104755, 0755},
               {"shared.exe", 0100777, 0755},
               {"shared.bin", 0100666, 0644}};
  std::vector<ZipEntrySpec> entries;
  for (const auto& c : cases) entries.push_back(testing_support::UnixEntry(c.name, "x", c.mode));
  const std::string stem = MakePackage(entries);
  ASSERT_TRUE(Unzip(stem));
  for (const auto& c : cases) {
    struct stat info {};
    ASSERT_EQ(stat((stem + "/" + c.name).c_str(), &info), 0) << c.name;
    EXPECT_EQ(info.st_mode & 07777, c.expected) << c.name;  // never a set-id bit
  }
  umask(umaskBefore);
}

TEST_F(PackageExtractionTest, UnreadableExtraFieldOrEntryCountFailsAlone) {
  const std::string stem = MakePackage({Entry("one.txt", "1"), Entry("two.txt", "2")});
  Patch(stem + ".upd", [](std::string& bytes) {
    // The end record claims far more entries than the archive holds.
    const size_t end = FindSignatures(bytes, "PK\x05\x06").back();
    for (size_t at = end + 8; at < end + 12; ++at) bytes[at] = '\xFF';
  });
  std::unique_ptr<ArchiveReader> reader = Open(stem);
  ASSERT_TRUE(reader);
  ArchiveEntry entry;
  ASSERT_EQ(reader->GetItem(-1, entry), archive_result::kOk);
  EXPECT_EQ(entry.index, 2);  // the entries really there
  EXPECT_EQ(reader->GetItem(3, entry), archive_result::kBadIndex);
  // The reader finds its way back to the entries that exist.
  ASSERT_EQ(reader->GetItem(1, entry), archive_result::kOk);
  EXPECT_EQ(entry.name, "two.txt");
  reader.reset();
  EXPECT_FALSE(Unzip(stem));
  EXPECT_FALSE(PathExists(stem));
  EXPECT_EQ(progress_.size(), 2u);

  // A local extra field reaching far beyond the end of the file.
  Patch(stem + ".upd", [](std::string& bytes) {
    const size_t local = FindSignatures(bytes, "PK\x03\x04")[0];
    bytes[local + 28] = bytes[local + 29] = '\xFF';
  });
  reader = Open(stem);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->GetItem(0, entry), archive_result::kExtraFieldUnreadable);
}

}  // namespace
