#include "launcher/system/file_size.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "launcher/system/instance_path.h"
#include "launcher/system/run_log.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

class FileSizeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetInstancePath(wxString::FromUTF8(logDir_.path()));
    OpenRunLog(log_);
    ASSERT_NE(log_.load(), nullptr);
  }
  void TearDown() override { CloseRunLog(log_); }

  // Run-log text after the "launcher started!" line.
  std::string Logged() const {
    const std::string text = ReadFile(logDir_.File("run.log"));
    return text.substr(text.find('\n') + 1);
  }

  TempDir logDir_;
  TempDir dir_;
  RunLogHandle log_{nullptr};
};

TEST_F(FileSizeTest, MissingFileOrDirectoryGivesOneAndAnErrorLine) {
  const wxString missing = wxString::FromUTF8(dir_.File("ServerList.xml"));
  EXPECT_EQ(QueryFileSize(missing, log_), 1u);
  EXPECT_EQ(QueryFileSize(wxString::FromUTF8(dir_.path()), log_), 1u);
  const std::string logged = Logged();
  EXPECT_NE(logged.find(": Error: launcher("), std::string::npos) << logged;
  // Each line is followed by why.
  const std::pair<std::string, const char*> cases[] = {
      {dir_.File("ServerList.xml"), "No such file or directory"}, {dir_.path(), "Is a directory"}};
  for (const auto& [path, why] : cases) {
    EXPECT_NE(logged.find("(2302): pathList.xml " + path + " error in update server\n"),
              std::string::npos)
        << logged;
    EXPECT_NE(logged.find("(2302): cause: " + path + ": " + why + "\n"), std::string::npos)
        << logged;
  }
}

TEST_F(FileSizeTest, SizesOfReadableFilesClampedBelowFourGibibytes) {
  const std::string big = dir_.File("big.upd");
  WriteFile(big, "");
  std::error_code error;
  std::filesystem::resize_file(big, 5ull << 30, error);  // sparse
  if (error) GTEST_SKIP() << "no sparse file here: " << error.message();
  const std::pair<unsigned long long, uint32_t> cases[] = {{5ull << 30, 4294967295u},
                                                           {4ull << 30, 4294967295u},
                                                           {(4ull << 30) - 2, 4294967294u},
                                                           {10, 10},
                                                           {0, 0}};
  for (const auto& [size, expected] : cases) {
    std::filesystem::resize_file(big, size);
    EXPECT_EQ(QueryFileSize(wxString::FromUTF8(big), log_), expected) << size;
  }
  EXPECT_EQ(Logged(), "") << "no size counts as unreadable";
}

TEST_F(FileSizeTest, WithoutARunLogNothingIsWritten) {
  CloseRunLog(log_);
  const std::string before = ReadFile(logDir_.File("run.log"));
  EXPECT_EQ(QueryFileSize(wxString::FromUTF8(dir_.File("missing")), log_), 1u);
  EXPECT_EQ(ReadFile(logDir_.File("run.log")), before);
}

}  // namespace
