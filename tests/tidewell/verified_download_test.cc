// One verified patch file: retries, the MD5 check and the per-file call.
#include "tidewell/verified_download.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/tidewell/tidewell_fixture.h"

namespace tidewell_testing {
namespace {

using testing_support::HttpResponse;
using testing_support::ReadFile;

int g_progressCalls = 0;
int CountProgress(void* client, double, double, double, double) {
  EXPECT_EQ(client, nullptr);
  ++g_progressCalls;
  return 0;
}

class VerifiedDownloadTest : public TidewellTest {
 protected:
  // The patch object's DownloadAndVerify, noted in the library's directory.
  bool Fetch(const wxString& url, const wxString& target, const wxString& hash) {
    return tidewell::FetchVerifiedFile(patch, wxString::FromUTF8(dir.path() + "/"), url, target,
                                       hash)
        .ok();
  }
};

TEST_F(VerifiedDownloadTest, SecondAttemptSucceedsAfterAFailedFirst) {
  server.Serve("/up/f.bin", [](int request) {
    return request == 1 ? HttpResponse(500, "error page") : HttpResponse(200, "payload");
  });
  g_progressCalls = 0;
  patch.progressCallback = &CountProgress;
  ASSERT_TRUE(Fetch(Url("/up/f.bin"), wxString::FromUTF8(dir.File("f.bin")),
                    wxString(Md5Of("payload")).Upper()));
  EXPECT_EQ(server.RequestCount("/up/f.bin"), 2);
  EXPECT_GT(g_progressCalls, 0);
  EXPECT_EQ(ReadFile(dir.File("f.bin")), "payload");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].path, dir.File("f.bin"));
  EXPECT_EQ(StatusText(), dir.File("f.bin"));
}

TEST_F(VerifiedDownloadTest, TenFailedAttemptsFailSilentlyAndLeaveNothing) {
  server.Serve("/up/f.bin", HttpResponse(404, "not here"));
  EXPECT_FALSE(Fetch(Url("/up/f.bin"), wxString::FromUTF8(dir.File("f.bin")), ""));
  EXPECT_EQ(server.RequestCount("/up/f.bin"), 10);
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(desktop.MessageBoxes().empty());
  EXPECT_FALSE(testing_support::PathExists(dir.File("f.bin")));
  EXPECT_TRUE(testing_support::NamesEndingIn(dir.path(), ".download").empty());
}

TEST_F(VerifiedDownloadTest, GameFileNamedLikeADownloadIsNeverTouched) {
  // The game's own file that happens to be called like a download of f.bin.
  testing_support::WriteFile(dir.File("f.bin.download"), "game's own");
  for (const bool served : {true, false}) {
    server.Serve("/up/f.bin", served ? HttpResponse(200, "payload") : HttpResponse(404, "gone"));
    EXPECT_EQ(Fetch(Url("/up/f.bin"), wxString::FromUTF8(dir.File("f.bin")), ""), served);
    EXPECT_EQ(ReadFile(dir.File("f.bin.download")), "game's own") << served;
    EXPECT_EQ(testing_support::NamesEndingIn(dir.path(), ".download"),
              std::vector<std::string>{"f.bin.download"});
  }
  EXPECT_EQ(ReadFile(dir.File("f.bin")), "payload");
}

TEST_F(VerifiedDownloadTest, EmptyHashSkipsTheCheck) {
  server.Serve("/up/e.bin", HttpResponse(200, ""));
  ASSERT_TRUE(Fetch(Url("/up/e.bin"), wxString::FromUTF8(dir.File("e.bin")), ""));
  EXPECT_EQ(calls.size(), 1u);
}

TEST_F(VerifiedDownloadTest, PathTooLongForTheStatusTextIsRefused) {
  server.Serve("/up/f.bin", HttpResponse(200, "x"));
  const wxString target = wxString::FromUTF8(dir.File(std::string(400, 'n')));
  EXPECT_FALSE(Fetch(Url("/up/f.bin"), target, ""));
  EXPECT_EQ(server.TotalRequests(), 0);
}

// Shows boxes on standard error, so that the parent sees the child's box.
class StderrDesktop final : public platform::Desktop {
 public:
  StderrDesktop() : previous_(platform::SetDesktop(this)) {}
  ~StderrDesktop() override { platform::SetDesktop(previous_); }
  platform::MessageBoxResult ShowMessageBox(const std::string& text, const std::string& caption,
                                            platform::MessageBoxButtons) override {
    std::fprintf(stderr, "box <%s> <%s>\n", caption.c_str(), text.c_str());
    return platform::MessageBoxResult::Ok;
  }
  bool OpenUrl(const std::string&) override { return false; }
  platform::DisplayMode GetDisplayMode() override { return platform::kDefaultDisplayMode; }
  bool ChangeDisplayMode(const platform::DisplayMode&) override { return false; }
  void PostQuit(int) override {}

 private:
  platform::Desktop* previous_;
};

void FailOnStatusCall(const wchar_t*, int32_t, int32_t, bool, void*, bool, bool) { std::_Exit(4); }

TEST_F(VerifiedDownloadTest, HashMismatchLeavesAtOnceKeepingTheInstalledFile) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child process runs this test again from the start; it writes into
  // the parent's directory so that the parent can look at the file.
  constexpr char kSharedDirVariable[] = "TIDEWELL_TEST_MISMATCH_DIR";
  const char* sharedDir = std::getenv(kSharedDirVariable);
  if (!sharedDir) setenv(kSharedDirVariable, dir.path().c_str(), 1);
  const std::string target = (sharedDir ? std::string(sharedDir) : dir.path()) + "/bad.bin";
  server.Serve("/up/bad.bin", HttpResponse(200, "tampered"));
  if (!sharedDir) testing_support::WriteFile(target, "original");
  EXPECT_EXIT(
      {
        // Exit-time clean-up would end the child with 3, a status call with
        // 4; the box line is only seen when buffered output is flushed.
        std::atexit([] { std::_Exit(3); });
        patch.statusCallback = &FailOnStatusCall;
        // The child ends without its clean-up: what it notes goes to the
        // parent's directory, which is cleaned.
        std::setvbuf(stderr, nullptr, _IOFBF, 4096);
        StderrDesktop boxes;
        const std::string parentDir = target.substr(0, target.rfind('/') + 1);
        tidewell::FetchVerifiedFile(patch, wxString::FromUTF8(parentDir), Url("/up/bad.bin"),
                                    wxString::FromUTF8(target), Md5Of("original"));
        std::fprintf(stderr, "still running\n");
        std::_Exit(5);
      },
      ::testing::ExitedWithCode(0), "box <错误> <更新资源包校验出错，请重新下载客户端安装包>");
  unsetenv(kSharedDirVariable);
  EXPECT_EQ(ReadFile(target), "original");
  EXPECT_TRUE(testing_support::NamesEndingIn(dir.path(), ".download").empty());
}

}  // namespace
}  // namespace tidewell_testing
