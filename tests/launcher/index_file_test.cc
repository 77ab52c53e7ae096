#include "launcher/index_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "launcher/index_merge.h"
#include "launcher/instance_path.h"
#include "launcher/launcher_frame_wnd.h"
#include "launcher/run_log.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::PathExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

struct Record {
  uint32_t offset;
  uint32_t length;
  uint16_t extraA = 0;
  uint16_t extraB = 0;
  uint32_t extraC = 0;
  uint32_t extraD = 0;
  uint32_t targetIndex = 0;  // patch records only
};

void PutLe(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

uint64_t GetLe(const std::string& in, size_t at, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    value |= static_cast<uint64_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
  }
  return value;
}

// A header that no merge may touch: every byte differs.
std::string Header() {
  std::string header;
  for (uint32_t i = 0; i < kIndexHeaderSize; ++i) header.push_back(static_cast<char>(i + 1));
  return header;
}

std::string IndexBytes(const std::vector<Record>& records, bool patch) {
  std::string bytes = Header();
  for (const Record& r : records) {
    PutLe(bytes, r.offset, 4);
    PutLe(bytes, r.length, 4);
    PutLe(bytes, r.extraA, 2);
    PutLe(bytes, r.extraB, 2);
    PutLe(bytes, r.extraC, 4);
    PutLe(bytes, r.extraD, 4);
    if (patch) PutLe(bytes, r.targetIndex, 4);
  }
  return bytes;
}

// The installed records of an index file's bytes.
std::vector<Record> InstalledRecords(const std::string& bytes) {
  std::vector<Record> records;
  for (size_t at = kIndexHeaderSize; at + kInstalledRecordSize <= bytes.size();
       at += kInstalledRecordSize) {
    records.push_back({static_cast<uint32_t>(GetLe(bytes, at, 4)),
                       static_cast<uint32_t>(GetLe(bytes, at + 4, 4)),
                       static_cast<uint16_t>(GetLe(bytes, at + 8, 2)),
                       static_cast<uint16_t>(GetLe(bytes, at + 10, 2)),
                       static_cast<uint32_t>(GetLe(bytes, at + 12, 4)),
                       static_cast<uint32_t>(GetLe(bytes, at + 16, 4))});
  }
  return records;
}

wxString W(const std::string& path) { return wxString::FromUTF8(path); }

TEST(IndexFileLoadTest, HeaderAndWholeRecordsOnly) {
  TempDir dir;
  IndexFile index(W(dir.File("x.i")));
  EXPECT_FALSE(index.LoadInstalled());  // missing
  WriteFile(dir.File("x.i"), Header().substr(0, 135));
  EXPECT_FALSE(index.LoadInstalled());
  EXPECT_FALSE(index.LoadPatch());
  EXPECT_EQ(index.count, 0);

  WriteFile(dir.File("x.i"), Header());
  ASSERT_TRUE(index.LoadInstalled());
  EXPECT_EQ(index.count, 0);

  std::string bytes = IndexBytes({{7, 8, 9, 10, 11, 12}, {100, 200, 1, 2, 3, 4}}, false);
  WriteFile(dir.File("x.i"), bytes + "partial");  // trailing bytes are no record
  IndexFile data(W(dir.File("x")));
  ASSERT_TRUE(data.LoadInstalledForData());
  ASSERT_EQ(data.count, 2);
  const IndexRecord20& second = data.Installed()[1];
  EXPECT_EQ(second.offset, 100u);
  EXPECT_EQ(second.length, 200u);
  EXPECT_EQ(second.extraA, 1u);
  EXPECT_EQ(second.extraB, 2u);
  EXPECT_EQ(second.extraC, 3u);
  EXPECT_EQ(second.extraD, 4u);
  EXPECT_EQ(second.offsetPos, 156);
  EXPECT_EQ(second.lengthPos, 160);
  EXPECT_EQ(second.extraAPos, 164);
  EXPECT_EQ(second.extraBPos, 166);
  EXPECT_EQ(second.extraCPos, 168);
  EXPECT_EQ(second.extraDPos, 172);

  // The same bytes read as a patch index: 24-byte records.
  ASSERT_TRUE(data.LoadPatchForData());
  ASSERT_EQ(data.count, 1);
  EXPECT_EQ(data.Patch()[0].targetIndex, 100u);
  EXPECT_TRUE(data.Installed().empty());

  // A failed load keeps what the last good one read.
  WriteFile(dir.File("x.i"), "short");
  EXPECT_FALSE(data.LoadPatchForData());
  EXPECT_EQ(data.count, 1);
}

class IndexMergeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetInstancePath(W(logDir_.path()));
    OpenRunLog(frame_);
    ASSERT_NE(frame_.logTarget.load(), nullptr);
    installed_ = game_.File("login.dat");
    package_ = pkg_.File("login.dat");
  }
  void TearDown() override { CloseRunLog(frame_); }

  std::string Logged() const {
    const std::string text = ReadFile(logDir_.File("run.log"));
    return text.substr(text.find('\n') + 1);
  }

  bool MergeLogin() { return MergeLoginData(W(package_ + ".i"), frame_, W(installed_ + ".i")); }

  TempDir logDir_, game_, pkg_;
  LauncherFrameWnd frame_;
  std::string installed_, package_;
};

TEST_F(IndexMergeTest, ReplacesInPlaceMovesLongerEntriesAndAppendsNewOnes) {
  // Installed: three entries "AAAA", "BBBB", "CC".
  WriteFile(installed_, "AAAABBBBCC");
  WriteFile(installed_ + ".i",
            IndexBytes({{0, 4, 1, 1, 1, 1}, {4, 4, 2, 2, 2, 2}, {8, 2, 3, 3, 3, 3}}, false));
  WriteFile(package_, "xyLONGERnewNEW!");
  WriteFile(package_ + ".i", IndexBytes({{0, 2, 10, 11, 12, 13, 0},  // shorter: in place
                                         {2, 6, 20, 21, 22, 23, 1},  // longer: moved to the end
                                         {0, 0, 30, 31, 32, 33, 2},  // length 0: nothing written
                                         {8, 3, 40, 41, 42, 43, 3},  // index == count: new
                                         {11, 4, 50, 51, 52, 53, 999}},
                                        true));  // far beyond: new
  ASSERT_TRUE(MergeLogin()) << Logged();

  EXPECT_EQ(ReadFile(installed_), "xyAABBBBCCLONGERnewNEW!");
  const std::string index = ReadFile(installed_ + ".i");
  EXPECT_EQ(index.substr(0, kIndexHeaderSize), Header());
  const std::vector<Record> records = InstalledRecords(index);
  ASSERT_EQ(records.size(), 5u);
  auto expect = [&](size_t k, uint32_t offset, uint32_t length, uint16_t a, uint16_t b, uint32_t c,
                    uint32_t d) {
    EXPECT_EQ(records[k].offset, offset) << k;
    EXPECT_EQ(records[k].length, length) << k;
    EXPECT_EQ(records[k].extraA, a) << k;
    EXPECT_EQ(records[k].extraB, b) << k;
    EXPECT_EQ(records[k].extraC, c) << k;
    EXPECT_EQ(records[k].extraD, d) << k;
  };
  expect(0, 0, 2, 10, 11, 12, 13);
  expect(1, 10, 6, 20, 21, 22, 23);
  expect(2, 8, 0, 30, 31, 32, 33);
  expect(3, 16, 3, 40, 41, 42, 43);
  expect(4, 19, 4, 50, 51, 52, 53);
  EXPECT_EQ(Logged(), "");
}

TEST_F(IndexMergeTest, EmptyPatchIndexChangesNothing) {
  WriteFile(installed_, "AAAA");
  const std::string index = IndexBytes({{0, 4}}, false);
  WriteFile(installed_ + ".i", index);
  WriteFile(package_, "");
  WriteFile(package_ + ".i", Header());
  ASSERT_TRUE(MergeLogin());
  EXPECT_EQ(ReadFile(installed_), "AAAA");
  EXPECT_EQ(ReadFile(installed_ + ".i"), index);
}

TEST_F(IndexMergeTest, NoInstalledDataFileInstallsThePackagesDataAndConvertedIndex) {
  WriteFile(package_, "DATA");
  const std::string patch = IndexBytes({{0, 2, 1, 2, 3, 4, 0}, {2, 2, 5, 6, 7, 8, 1}}, true);
  WriteFile(package_ + ".i", patch);
  ASSERT_TRUE(MergeLogin());
  EXPECT_EQ(ReadFile(installed_), "DATA");
  // Installed records (20 bytes), their offsets still addressing the data.
  const std::string bytes = ReadFile(installed_ + ".i");
  ASSERT_EQ(bytes.size(), kIndexHeaderSize + 2 * kInstalledRecordSize);
  EXPECT_EQ(bytes.substr(0, kIndexHeaderSize), Header());
  const std::vector<Record> records = InstalledRecords(bytes);
  EXPECT_EQ(records[0].offset, 0u);
  EXPECT_EQ(records[0].length, 2u);
  EXPECT_EQ(records[0].extraD, 4u);
  EXPECT_EQ(records[1].offset, 2u);
  EXPECT_EQ(records[1].length, 2u);
  EXPECT_EQ(records[1].extraA, 5u);

  // Without the package's data file there is nothing to copy: message 1.
  TempDir other;
  WriteFile(pkg_.File("x.dat.i"), patch);
  EXPECT_FALSE(MergeLoginData(W(pkg_.File("x.dat.i")), frame_, W(other.File("x.dat.i"))));
  EXPECT_NE(
      Logged().find("):  in pathList.xml " + pkg_.File("x.dat") + " may be config error! or " +
                    pkg_.File("x.dat.i") + " file not exsited \n"),
      std::string::npos)
      << Logged();
}

TEST_F(IndexMergeTest, SecondMergeAfterAFirstInstallReadsTheRightRecords) {
  // The first package installs login.dat: "AAAABBBB" as two entries.
  WriteFile(package_, "AAAABBBB");
  WriteFile(package_ + ".i", IndexBytes({{0, 4, 0, 0, 0, 0, 0}, {4, 4, 0, 0, 0, 0, 1}}, true));
  ASSERT_TRUE(MergeLogin()) << Logged();

  // The next one replaces the second entry in its place.
  WriteFile(package_, "cc");
  WriteFile(package_ + ".i", IndexBytes({{0, 2, 9, 9, 9, 9, 1}}, true));
  ASSERT_TRUE(MergeLogin()) << Logged();
  EXPECT_EQ(ReadFile(installed_), "AAAAccBB");
  const std::vector<Record> records = InstalledRecords(ReadFile(installed_ + ".i"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].offset, 0u);
  EXPECT_EQ(records[0].length, 4u);
  EXPECT_EQ(records[1].offset, 4u);
  EXPECT_EQ(records[1].length, 2u);
  EXPECT_EQ(records[1].extraC, 9u);
  EXPECT_EQ(Logged(), "");
}

TEST_F(IndexMergeTest, CountThatDisagreesWithTheRecordsMergesNothing) {
  WriteFile(installed_, "AAAA");
  const std::string index = IndexBytes({{0, 4}}, false);
  WriteFile(installed_ + ".i", index);
  WriteFile(package_, "zz");
  WriteFile(package_ + ".i", IndexBytes({{0, 2, 0, 0, 0, 0, 3}}, true));
  IndexFile installed(W(installed_));
  IndexFile patch(W(package_));
  ASSERT_TRUE(installed.LoadInstalledForData());
  ASSERT_TRUE(patch.LoadPatchForData());
  installed.count = 5;  // target 3 is below the count but has no record
  EXPECT_FALSE(MergeDataAndIndex(patch, installed));
  installed.count = -1;
  EXPECT_FALSE(MergeDataAndIndex(patch, installed));
  // Patch records where installed ones belong.
  IndexFile wrongKind(W(package_));
  ASSERT_TRUE(wrongKind.LoadPatchForData());
  EXPECT_FALSE(MergeDataAndIndex(patch, wrongKind));
  EXPECT_EQ(ReadFile(installed_), "AAAA");
  EXPECT_EQ(ReadFile(installed_ + ".i"), index);
}

TEST_F(IndexMergeTest, IndexClaimingAHugeSizeIsRefusedCleanly) {
  // Sparse files: nothing is stored, but they claim 3 GiB.
  const auto makeHuge = [](const std::string& path) {
    WriteFile(path, Header());
    return truncate(path.c_str(), 3ll << 30) == 0;
  };
  TempDir dir;
  ASSERT_TRUE(makeHuge(dir.File("huge.i")));
  IndexFile index(W(dir.File("huge.i")));
  EXPECT_FALSE(index.LoadInstalled());
  EXPECT_FALSE(index.LoadPatch());
  EXPECT_EQ(index.count, 0);

  // As the package's index of an index-only merge, installed or not.
  const std::string installed = game_.File("map.i");
  EXPECT_FALSE(MergeIndexFile(W(installed), W(dir.File("huge.i"))));
  EXPECT_FALSE(PathExists(installed));
  const std::string mapIndex = IndexBytes({{1, 2}}, false);
  WriteFile(installed, mapIndex);
  EXPECT_FALSE(MergeIndexFile(W(installed), W(dir.File("huge.i"))));
  EXPECT_EQ(ReadFile(installed), mapIndex);

  // As login.dat.i, on either side.
  WriteFile(installed_, "AAAA");
  const std::string loginIndex = IndexBytes({{0, 4}}, false);
  WriteFile(installed_ + ".i", loginIndex);
  WriteFile(package_, "zz");
  ASSERT_TRUE(makeHuge(package_ + ".i"));
  EXPECT_FALSE(MergeLogin());
  WriteFile(package_ + ".i", IndexBytes({{0, 2, 0, 0, 0, 0, 0}}, true));
  ASSERT_TRUE(makeHuge(installed_ + ".i"));
  EXPECT_FALSE(MergeLogin());
  EXPECT_EQ(ReadFile(installed_), "AAAA");
  EXPECT_NE(Logged().find("load error ,may be the file format wrong!"), std::string::npos);
}

TEST_F(IndexMergeTest, MissingIndexFilesAreReported) {
  WriteFile(installed_, "AAAA");
  WriteFile(package_, "B");
  EXPECT_FALSE(MergeLogin());  // no package index
  EXPECT_NE(Logged().find("):   " + package_ + ".i file not exsited \n"), std::string::npos)
      << Logged();
  WriteFile(package_ + ".i", IndexBytes({{0, 1, 0, 0, 0, 0, 0}}, true));
  EXPECT_FALSE(MergeLogin());  // no installed index
  EXPECT_NE(Logged().find("): " + installed_ + ".i file not exsited \n"), std::string::npos)
      << Logged();
  EXPECT_NE(Logged().find(": Error: launcher("), std::string::npos);
  EXPECT_EQ(ReadFile(installed_), "AAAA");
}

TEST_F(IndexMergeTest, TruncatedOrOutOfRangeIndexesMergeNothing) {
  WriteFile(installed_, "AAAA");
  const std::string index = IndexBytes({{0, 4}}, false);
  WriteFile(installed_ + ".i", index);
  WriteFile(package_, "0123456789");
  const std::string loadError = "): " + installed_ + ".i file or " + package_ +
                                ".i file load error ,may be the file format wrong! \n";

  WriteFile(package_ + ".i", Header().substr(0, 100));  // truncated
  EXPECT_FALSE(MergeLogin());
  EXPECT_NE(Logged().find(loadError), std::string::npos) << Logged();

  // The first record is sound, the second reaches past the package's data
  // file, the third asks for 4 GiB: nothing at all is merged.
  WriteFile(
      package_ + ".i",
      IndexBytes({{0, 2, 0, 0, 0, 0, 0}, {8, 3, 0, 0, 0, 0, 5}, {0, 0xFFFFFFFF, 0, 0, 0, 0, 6}},
                 true));
  EXPECT_FALSE(MergeLogin());
  EXPECT_EQ(ReadFile(installed_), "AAAA");
  EXPECT_EQ(ReadFile(installed_ + ".i"), index);

  WriteFile(installed_ + ".i", "tiny");  // installed index without its header
  WriteFile(package_ + ".i", IndexBytes({{0, 2, 0, 0, 0, 0, 0}}, true));
  EXPECT_FALSE(MergeLogin());
  EXPECT_EQ(ReadFile(installed_ + ".i"), "tiny");
}

TEST_F(IndexMergeTest, InstalledRecordOutsideItsDataFileIsNeverWrittenThere) {
  WriteFile(installed_, "AAAA");
  // Entry 0 claims bytes far beyond the data file; entry 1 is detached.
  WriteFile(installed_ + ".i", IndexBytes({{1000000, 10}, {kDetachedOffset, 8}}, false));
  WriteFile(package_, "xyz");
  WriteFile(package_ + ".i", IndexBytes({{0, 2, 0, 0, 0, 0, 0}, {2, 1, 0, 0, 0, 0, 1}}, true));
  ASSERT_TRUE(MergeLogin());
  EXPECT_EQ(ReadFile(installed_), "AAAAxyz");
  const std::vector<Record> records = InstalledRecords(ReadFile(installed_ + ".i"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].offset, 4u);
  EXPECT_EQ(records[0].length, 2u);
  EXPECT_EQ(records[1].offset, 6u);
  EXPECT_EQ(records[1].length, 1u);
}

TEST_F(IndexMergeTest, RecordsNamingOneEntryTwiceLeaveItConsistent) {
  WriteFile(installed_, "AAAA");
  WriteFile(installed_ + ".i", IndexBytes({{0, 4}}, false));
  WriteFile(package_, "LONGERsh");
  // First a longer replacement (moved to the end), then a shorter one.
  WriteFile(package_ + ".i", IndexBytes({{0, 6, 0, 0, 0, 0, 0}, {6, 2, 0, 0, 0, 0, 0}}, true));
  ASSERT_TRUE(MergeLogin());
  const std::string data = ReadFile(installed_);
  const std::vector<Record> records = InstalledRecords(ReadFile(installed_ + ".i"));
  ASSERT_EQ(records.size(), 1u);
  ASSERT_LE(records[0].offset + records[0].length, data.size());
  EXPECT_EQ(data.substr(records[0].offset, records[0].length), "sh");
}

TEST_F(IndexMergeTest, IndexOnlyMergeDetachesEveryRecordItWrites) {
  const std::string installed = game_.File("map.i");
  const std::string package = pkg_.File("map.i");
  WriteFile(installed, IndexBytes({{5, 6, 7, 8, 9, 10}, {11, 12, 13, 14, 15, 16}}, false) + "rest");
  WriteFile(package, IndexBytes({{99, 3, 1, 2, 3, 4, 1}, {99, 5, 5, 6, 7, 8, 40}}, true));
  ASSERT_TRUE(MergeIndexFile(W(installed), W(package)));
  const std::string bytes = ReadFile(installed);
  EXPECT_EQ(bytes.substr(0, kIndexHeaderSize), Header());
  const std::vector<Record> records = InstalledRecords(bytes);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].offset, 5u);  // untouched
  EXPECT_EQ(records[0].extraD, 10u);
  EXPECT_EQ(records[1].offset, kDetachedOffset);
  EXPECT_EQ(records[1].length, 3u);
  EXPECT_EQ(records[1].extraC, 3u);
  // The new record follows the whole records, over the partial one.
  EXPECT_EQ(records[2].offset, kDetachedOffset);
  EXPECT_EQ(records[2].length, 5u);
  EXPECT_EQ(records[2].extraD, 8u);

  EXPECT_FALSE(MergeIndexFile(W(installed), W(pkg_.File("none.i"))));
  WriteFile(pkg_.File("short.i"), "x");
  EXPECT_FALSE(MergeIndexFile(W(installed), W(pkg_.File("short.i"))));
  EXPECT_EQ(ReadFile(installed), bytes);
}

TEST_F(IndexMergeTest, IndexOnlyMergeWithoutAnInstalledIndexInstallsItConverted) {
  const std::string package = pkg_.File("map.i");
  WriteFile(package, IndexBytes({{99, 3, 1, 2, 3, 4, 0}, {98, 5, 5, 6, 7, 8, 9}}, true));
  const std::string installed = game_.File("map.i");
  ASSERT_TRUE(MergeIndexFile(W(installed), W(package)));
  const std::string bytes = ReadFile(installed);
  ASSERT_EQ(bytes.size(), kIndexHeaderSize + 2 * kInstalledRecordSize);
  EXPECT_EQ(bytes.substr(0, kIndexHeaderSize), Header());
  const std::vector<Record> records = InstalledRecords(bytes);
  EXPECT_EQ(records[0].offset, kDetachedOffset);
  EXPECT_EQ(records[0].length, 3u);
  EXPECT_EQ(records[1].offset, kDetachedOffset);
  EXPECT_EQ(records[1].extraA, 5u);

  // A package index with no whole header is copied as it is.
  WriteFile(pkg_.File("odd.i"), "odd");
  ASSERT_TRUE(MergeIndexFile(W(game_.File("odd.i")), W(pkg_.File("odd.i"))));
  EXPECT_EQ(ReadFile(game_.File("odd.i")), "odd");
  EXPECT_FALSE(MergeIndexFile(W(game_.File("none.i")), W(pkg_.File("none.i"))));
  EXPECT_FALSE(PathExists(game_.File("none.i")));
}

}  // namespace
