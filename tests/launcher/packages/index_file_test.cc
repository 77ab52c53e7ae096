#include "launcher/packages/index_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "launcher/packages/index_merge.h"
#include "launcher/packages/install_batch.h"
#include "launcher/system/instance_path.h"
#include "launcher/system/run_log.h"
#include "tests/launcher/packages/install_place.h"
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

  auto Tie() const { return std::tie(offset, length, extraA, extraB, extraC, extraD, targetIndex); }
  bool operator==(const Record& other) const { return Tie() == other.Tie(); }
};

std::ostream& operator<<(std::ostream& out, const Record& r) {
  return out << "{" << r.offset << "," << r.length << "," << r.extraA << "," << r.extraB << ","
             << r.extraC << "," << r.extraD << "}";
}

void PutLe(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

uint32_t GetLe(const std::string& in, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i)
    value |= static_cast<uint32_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
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

// The installed records of an index file, after checking its header is intact.
std::vector<Record> InstalledRecords(const std::string& bytes) {
  EXPECT_EQ(bytes.substr(0, kIndexHeaderSize), Header());
  std::vector<Record> records;
  for (size_t at = kIndexHeaderSize; at + kInstalledRecordSize <= bytes.size();
       at += kInstalledRecordSize) {
    records.push_back({GetLe(bytes, at, 4), GetLe(bytes, at + 4, 4),
                       static_cast<uint16_t>(GetLe(bytes, at + 8, 2)),
                       static_cast<uint16_t>(GetLe(bytes, at + 10, 2)), GetLe(bytes, at + 12, 4),
                       GetLe(bytes, at + 16, 4)});
  }
  return records;
}

wxString W(const std::string& path) { return wxString::FromUTF8(path); }

TEST(IndexFileLoadTest, HeaderAndWholeRecordsOnly) {
  TempDir dir;
  IndexFile data(W(dir.File("x")));
  EXPECT_FALSE(data.LoadInstalledForData());  // missing
  WriteFile(dir.File("x.i"), Header().substr(0, 135));
  EXPECT_FALSE(data.LoadInstalledForData());
  EXPECT_FALSE(data.LoadPatchForData());

  WriteFile(dir.File("x.i"), IndexBytes({{7, 8}, {100, 200, 1, 2, 3, 4}}, false) + "partial");
  ASSERT_TRUE(data.LoadInstalledForData());
  ASSERT_EQ(data.count, 2);  // trailing bytes are no record
  const IndexRecord20& second = data.Installed()[1];
  EXPECT_EQ(std::tie(second.offset, second.length, second.extraD), std::make_tuple(100u, 200u, 4u));
  EXPECT_EQ(second.offsetPos, 156);
  // The same bytes read as a patch index: 24-byte records.
  ASSERT_TRUE(data.LoadPatchForData());
  ASSERT_EQ(data.count, 1);
  EXPECT_EQ(data.Patch()[0].targetIndex, 100u);
}

class IndexMergeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetInstancePath(W(logDir_.path()));
    OpenRunLog(place_.logTarget);
    ASSERT_NE(place_.logTarget.load(), nullptr);
    installed_ = game_.File("login.dat");
    package_ = pkg_.File("login.dat");
  }
  void TearDown() override { CloseRunLog(place_.logTarget); }

  std::string Logged() const {
    const std::string text = ReadFile(logDir_.File("run.log"));
    return text.substr(text.find('\n') + 1);
  }

  bool MergeLogin() {
    return MergeLoginData(W(package_ + ".i"), place_.logTarget, W(installed_ + ".i"));
  }

  // Installed login.dat "AAAA" as one entry; returns its index bytes.
  std::string InstallFourAs() {
    WriteFile(installed_, "AAAA");
    const std::string index = IndexBytes({{0, 4}}, false);
    WriteFile(installed_ + ".i", index);
    return index;
  }

  TempDir logDir_, game_, pkg_;
  InstallPlace place_;
  std::string installed_, package_;
};

// Every entry's bytes are appended, never written over the old ones that
// the old index still addresses until the new one takes its place.
TEST_F(IndexMergeTest, EntriesGoToTheEndOfTheDataFileAndNewOnesAreAdded) {
  WriteFile(installed_, "AAAABBBBCC");
  WriteFile(installed_ + ".i",
            IndexBytes({{0, 4, 1, 1, 1, 1}, {4, 4, 2, 2, 2, 2}, {8, 2, 3, 3, 3, 3}}, false));
  WriteFile(package_, "xyLONGERnewNEW!");
  WriteFile(package_ + ".i", IndexBytes({{0, 2, 10, 11, 12, 13, 0},  // shorter
                                         {2, 6, 20, 21, 22, 23, 1},  // longer
                                         {0, 0, 30, 31, 32, 33, 2},  // length 0: keeps its place
                                         {8, 3, 40, 41, 42, 43, 3},  // index == count: new
                                         {11, 4, 50, 51, 52, 53, 999}},  // far beyond: new
                                        true));
  ASSERT_TRUE(MergeLogin()) << Logged();
  EXPECT_EQ(ReadFile(installed_), "AAAABBBBCCxyLONGERnewNEW!");
  EXPECT_EQ(InstalledRecords(ReadFile(installed_ + ".i")),
            (std::vector<Record>{{10, 2, 10, 11, 12, 13},
                                 {12, 6, 20, 21, 22, 23},
                                 {8, 0, 30, 31, 32, 33},
                                 {18, 3, 40, 41, 42, 43},
                                 {21, 4, 50, 51, 52, 53}}));
  EXPECT_EQ(Logged(), "");

  // An empty patch index changes nothing.
  const std::string index = ReadFile(installed_ + ".i");
  WriteFile(package_ + ".i", Header());
  ASSERT_TRUE(MergeLogin());
  EXPECT_EQ(ReadFile(installed_ + ".i"), index);
}

TEST_F(IndexMergeTest, NoInstalledDataFileInstallsThePackagesDataAndConvertedIndex) {
  WriteFile(package_, "DATA");
  const std::string patch = IndexBytes({{0, 2, 1, 2, 3, 4, 0}, {2, 2, 5, 6, 7, 8, 1}}, true);
  WriteFile(package_ + ".i", patch);
  ASSERT_TRUE(MergeLogin());
  EXPECT_EQ(ReadFile(installed_), "DATA");
  // Installed (20-byte) records, their offsets still addressing the data.
  EXPECT_EQ(InstalledRecords(ReadFile(installed_ + ".i")),
            (std::vector<Record>{{0, 2, 1, 2, 3, 4}, {2, 2, 5, 6, 7, 8}}));

  // Without the package's data file there is nothing to copy.
  TempDir other;
  WriteFile(pkg_.File("x.dat.i"), patch);
  EXPECT_FALSE(MergeLoginData(W(pkg_.File("x.dat.i")), place_.logTarget, W(other.File("x.dat.i"))));
  EXPECT_NE(
      Logged().find("):  in pathList.xml " + pkg_.File("x.dat") + " may be config error! or " +
                    pkg_.File("x.dat.i") + " file not exsited \n"),
      std::string::npos)
      << Logged();
}

TEST_F(IndexMergeTest, SecondMergeAfterAFirstInstallReadsTheRightRecords) {
  WriteFile(package_, "AAAABBBB");
  WriteFile(package_ + ".i", IndexBytes({{0, 4, 0, 0, 0, 0, 0}, {4, 4, 0, 0, 0, 0, 1}}, true));
  ASSERT_TRUE(MergeLogin()) << Logged();
  // The next one replaces the second entry.
  WriteFile(package_, "cc");
  WriteFile(package_ + ".i", IndexBytes({{0, 2, 9, 9, 9, 9, 1}}, true));
  ASSERT_TRUE(MergeLogin()) << Logged();
  EXPECT_EQ(ReadFile(installed_), "AAAABBBBcc");
  EXPECT_EQ(InstalledRecords(ReadFile(installed_ + ".i")),
            (std::vector<Record>{{0, 4}, {8, 2, 9, 9, 9, 9}}));
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

  // As the package's index of an index-only merge, installed or not.
  const std::string installed = game_.File("map.i");
  EXPECT_FALSE(MergeIndexFile(W(installed), W(dir.File("huge.i"))));
  EXPECT_FALSE(PathExists(installed));
  const std::string mapIndex = IndexBytes({{1, 2}}, false);
  WriteFile(installed, mapIndex);
  EXPECT_FALSE(MergeIndexFile(W(installed), W(dir.File("huge.i"))));
  EXPECT_EQ(ReadFile(installed), mapIndex);

  // As login.dat.i, on either side.
  InstallFourAs();
  WriteFile(package_, "zz");
  ASSERT_TRUE(makeHuge(package_ + ".i"));
  EXPECT_FALSE(MergeLogin());
  WriteFile(package_ + ".i", IndexBytes({{0, 2, 0, 0, 0, 0, 0}}, true));
  ASSERT_TRUE(makeHuge(installed_ + ".i"));
  EXPECT_FALSE(MergeLogin());
  EXPECT_EQ(ReadFile(installed_), "AAAA");
  EXPECT_NE(Logged().find("load error ,may be the file format wrong!"), std::string::npos);
}

TEST_F(IndexMergeTest, MissingTruncatedOrOutOfRangeIndexesMergeNothing) {
  WriteFile(installed_, "AAAA");
  WriteFile(package_, "B");
  EXPECT_FALSE(MergeLogin());  // no package index
  EXPECT_NE(Logged().find("):   " + package_ + ".i file not exsited \n"), std::string::npos)
      << Logged();
  WriteFile(package_ + ".i", IndexBytes({{0, 1, 0, 0, 0, 0, 0}}, true));
  EXPECT_FALSE(MergeLogin());  // no installed index
  EXPECT_NE(Logged().find(": Error: launcher("), std::string::npos);
  EXPECT_NE(Logged().find("): " + installed_ + ".i file not exsited \n"), std::string::npos)
      << Logged();

  // Present but truncated, or reaching out of range.
  const std::string index = InstallFourAs();
  WriteFile(package_, "0123456789");
  WriteFile(package_ + ".i", Header().substr(0, 100));  // truncated
  EXPECT_FALSE(MergeLogin());
  EXPECT_NE(Logged().find("): " + installed_ + ".i file or " + package_ +
                          ".i file load error ,may be the file format wrong! \n"),
            std::string::npos)
      << Logged();

  // A sound first record, then one that reaches past the package's data
  // file, one that asks for 4 GiB, or records that all name the same bytes
  // until they would grow the data file far beyond the package's own size:
  // nothing at all is merged.
  std::vector<Record> sameBytes(kMergeGrowthSlack / 10 + 10, Record{0, 10});
  for (uint32_t i = 0; i < sameBytes.size(); ++i) sameBytes[i].targetIndex = 1 + i;
  for (const std::vector<Record>& records :
       {std::vector<Record>{{0, 2, 0, 0, 0, 0, 0}, {8, 3, 0, 0, 0, 0, 5}},
        std::vector<Record>{{0, 2, 0, 0, 0, 0, 0}, {0, 0xFFFFFFFF, 0, 0, 0, 0, 6}}, sameBytes}) {
    WriteFile(package_ + ".i", IndexBytes(records, true));
    EXPECT_FALSE(MergeLogin()) << records.size();
    EXPECT_EQ(ReadFile(installed_), "AAAA");
    EXPECT_EQ(ReadFile(installed_ + ".i"), index);
  }

  WriteFile(installed_ + ".i", "tiny");  // installed index without its header
  WriteFile(package_ + ".i", IndexBytes({{0, 2, 0, 0, 0, 0, 0}}, true));
  EXPECT_FALSE(MergeLogin());
  EXPECT_EQ(ReadFile(installed_ + ".i"), "tiny");
}

// A merge staged in a batch that is given up takes back what it appended,
// and the installed index never changed.
TEST_F(IndexMergeTest, MergeGivenUpTakesBackWhatItAppended) {
  const std::string index = InstallFourAs();
  WriteFile(package_, "zz");
  WriteFile(package_ + ".i", IndexBytes({{0, 2, 0, 0, 0, 0, 0}, {0, 2, 0, 0, 0, 0, 7}}, true));
  {
    InstallBatch batch(game_.path());
    ASSERT_TRUE(StageLoginDataMerge(batch, place_.logTarget, W(package_ + ".i"),
                                    W(installed_ + ".i"), W(installed_)));
    EXPECT_EQ(ReadFile(installed_), "AAAAzzzz");
    EXPECT_EQ(ReadFile(installed_ + ".i"), index);
  }
  EXPECT_EQ(ReadFile(installed_), "AAAA");
  EXPECT_EQ(ReadFile(installed_ + ".i"), index);
  EXPECT_EQ(testing_support::NamesEndingIn(game_.path(), ""),
            (std::vector<std::string>{"login.dat", "login.dat.i"}));
}

TEST_F(IndexMergeTest, InstalledRecordOutsideItsDataFileIsNeverWrittenThere) {
  WriteFile(installed_, "AAAA");
  // Entry 0 claims bytes far beyond the data file; entries 1 and 2 are
  // detached. An empty entry keeps no place outside the data file either.
  WriteFile(installed_ + ".i",
            IndexBytes({{1000000, 10}, {kDetachedOffset, 8}, {kDetachedOffset, 8}}, false));
  WriteFile(package_, "xyz");
  WriteFile(
      package_ + ".i",
      IndexBytes({{0, 2, 0, 0, 0, 0, 0}, {2, 1, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 0, 2}}, true));
  ASSERT_TRUE(MergeLogin());
  EXPECT_EQ(ReadFile(installed_), "AAAAxyz");
  EXPECT_EQ(InstalledRecords(ReadFile(installed_ + ".i")),
            (std::vector<Record>{{4, 2}, {6, 1}, {7, 0}}));
}

TEST_F(IndexMergeTest, RecordsNamingOneEntryTwiceLeaveItConsistent) {
  InstallFourAs();
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
  // The new record follows the whole records, over the partial one.
  const std::string bytes = ReadFile(installed);
  EXPECT_EQ(InstalledRecords(bytes), (std::vector<Record>{{5, 6, 7, 8, 9, 10},
                                                          {kDetachedOffset, 3, 1, 2, 3, 4},
                                                          {kDetachedOffset, 5, 5, 6, 7, 8}}));
  EXPECT_FALSE(MergeIndexFile(W(installed), W(pkg_.File("none.i"))));
  WriteFile(pkg_.File("short.i"), "x");
  EXPECT_FALSE(MergeIndexFile(W(installed), W(pkg_.File("short.i"))));
  EXPECT_EQ(ReadFile(installed), bytes);
}

TEST_F(IndexMergeTest, IndexOnlyMergeWithoutAnInstalledIndexInstallsItConverted) {
  WriteFile(pkg_.File("map.i"), IndexBytes({{99, 3, 1, 2, 3, 4, 0}, {98, 5, 5, 6, 7, 8, 9}}, true));
  ASSERT_TRUE(MergeIndexFile(W(game_.File("map.i")), W(pkg_.File("map.i"))));
  EXPECT_EQ(
      InstalledRecords(ReadFile(game_.File("map.i"))),
      (std::vector<Record>{{kDetachedOffset, 3, 1, 2, 3, 4}, {kDetachedOffset, 5, 5, 6, 7, 8}}));

  // A package index with no whole header is copied as it is.
  WriteFile(pkg_.File("odd.i"), "odd");
  ASSERT_TRUE(MergeIndexFile(W(game_.File("odd.i")), W(pkg_.File("odd.i"))));
  EXPECT_EQ(ReadFile(game_.File("odd.i")), "odd");
  EXPECT_FALSE(MergeIndexFile(W(game_.File("none.i")), W(pkg_.File("none.i"))));
  EXPECT_FALSE(PathExists(game_.File("none.i")));
}

}  // namespace
