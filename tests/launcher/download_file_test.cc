#include "download/download_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "download/fetch_file.h"
#include "tests/support/curl_environment.h"
#include "tests/support/http_server.h"
#include "tests/support/misbehaving_server.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::HttpResponse;
using testing_support::LoopbackHttpServer;
using testing_support::ReadFile;
using testing_support::TempDir;

// The launcher initialises libcurl once at start-up; so does this program.
[[maybe_unused]] ::testing::Environment* const kCurlEnvironment =
    testing_support::AddCurlEnvironment();

std::atomic<int> g_firstProgressCalls{0};
std::atomic<int> g_secondProgressCalls{0};

int CountFirstProgress(void*, double, double, double, double) {
  ++g_firstProgressCalls;
  return 0;
}
int CountSecondProgress(void*, double, double, double, double) {
  ++g_secondProgressCalls;
  return 0;
}
int AbortTransfer(void*, double, double, double, double) { return 1; }

class DownloadFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.running());
    handle = curl_easy_init();
    ASSERT_NE(handle, nullptr);
  }
  void TearDown() override { curl_easy_cleanup(handle); }

  bool Download(const std::string& path, const std::string& target,
                curl_progress_callback progress = nullptr) {
    return DownloadFile(handle, wxString::FromUTF8(server.Url(path)), wxString::FromUTF8(target), 1,
                        progress);
  }

  LoopbackHttpServer server;
  TempDir dir;
  CURL* handle = nullptr;
};

// libcurl's trace reaches standard error only when the environment asks.
TEST_F(DownloadFileTest, TraceOnlyOnRequest) {
  server.Serve("/t.bin", HttpResponse{200, "t"});
  for (const char* value : {static_cast<const char*>(nullptr), "0", "1"}) {
    if (value)
      setenv("VELMOR_CURL_VERBOSE", value, 1);
    else
      unsetenv("VELMOR_CURL_VERBOSE");
    const std::string captured = dir.File("stderr.txt");
    std::fflush(stderr);
    const int saved = dup(2);
    const int file = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, 2);
    const bool ok = Download("/t.bin", dir.File("t.bin"));
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    close(file);
    EXPECT_TRUE(ok);
    const bool traced = ReadFile(captured).find("GET /t.bin") != std::string::npos;
    EXPECT_EQ(traced, value && std::string(value) == "1") << (value ? value : "unset");
  }
  unsetenv("VELMOR_CURL_VERBOSE");
}

TEST_F(DownloadFileTest, Status200WritesTheBodyEvenWhenEmpty) {
  const std::string body("body\0with zero", 14);
  server.Serve("/file.bin", HttpResponse{200, body});
  EXPECT_TRUE(Download("/file.bin", dir.File("更新.bin")));
  EXPECT_EQ(ReadFile(dir.File("更新.bin")), body);

  testing_support::WriteFile(dir.File("out.bin"), "old content");
  server.Serve("/empty", HttpResponse{200, ""});
  EXPECT_TRUE(Download("/empty", dir.File("out.bin")));
  EXPECT_TRUE(testing_support::PathExists(dir.File("out.bin")));
  EXPECT_EQ(ReadFile(dir.File("out.bin")), "");
}

TEST_F(DownloadFileTest, ErrorStatusFailsAndLeavesTheErrorPage) {
  const std::string page = "<html><body>Not Found</body></html>";
  server.Serve("/missing", HttpResponse{404, page, {}, "text/html"});
  EXPECT_FALSE(Download("/missing", dir.File("out.html")));
  EXPECT_EQ(ReadFile(dir.File("out.html")), page);
}

TEST_F(DownloadFileTest, RedirectsAreNotFollowed) {
  server.Serve("/target", HttpResponse{200, "target body"});
  for (int status : {301, 302}) {
    server.Serve("/moved", HttpResponse{status, "moved", {{"Location", server.Url("/target")}}});
    EXPECT_FALSE(Download("/moved", dir.File("out.bin"))) << status;
  }
  EXPECT_EQ(server.RequestCount("/moved"), 2);
  EXPECT_EQ(server.RequestCount("/target"), 0);
}

TEST_F(DownloadFileTest, RefusedConnectionFailsAndLeavesAnEmptyFile) {
  const int port = testing_support::ClosedLoopbackPort();
  ASSERT_GT(port, 0);
  testing_support::WriteFile(dir.File("out.bin"), "stale");
  const wxString url = wxString::Format("http://127.0.0.1:%d/file", port);
  EXPECT_FALSE(DownloadFile(handle, url, wxString::FromUTF8(dir.File("out.bin")), 1, nullptr));
  EXPECT_TRUE(testing_support::PathExists(dir.File("out.bin")));
  EXPECT_EQ(ReadFile(dir.File("out.bin")), "");
}

TEST_F(DownloadFileTest, MissingDirectoryFailsWithoutRequest) {
  server.Serve("/file.bin", HttpResponse{200, "body"});
  EXPECT_FALSE(Download("/file.bin", dir.File("no-such-dir/out.bin")));
  EXPECT_EQ(server.TotalRequests(), 0);
  EXPECT_FALSE(testing_support::PathExists(dir.File("no-such-dir")));
}

TEST_F(DownloadFileTest, ReusedHandleDropsAnEarlierProgressFunction) {
  server.Serve("/a", HttpResponse{200, std::string(64 * 1024, 'a')});
  server.Serve("/b", HttpResponse{200, "b"});
  g_firstProgressCalls = 0;
  g_secondProgressCalls = 0;

  EXPECT_TRUE(Download("/a", dir.File("a"), &CountFirstProgress));
  EXPECT_GT(g_firstProgressCalls.load(), 0);

  const int callsAfterFirst = g_firstProgressCalls;
  EXPECT_TRUE(Download("/b", dir.File("b")));
  EXPECT_EQ(g_firstProgressCalls.load(), callsAfterFirst);

  EXPECT_TRUE(Download("/a", dir.File("c"), &CountSecondProgress));
  EXPECT_GT(g_secondProgressCalls.load(), 0);
  EXPECT_EQ(g_firstProgressCalls.load(), callsAfterFirst);

  // A failed call (missing directory) in between does not disturb the next.
  EXPECT_FALSE(Download("/b", dir.File("missing/b")));
  EXPECT_TRUE(Download("/b", dir.File("b")));
  EXPECT_EQ(ReadFile(dir.File("b")), "b");
  EXPECT_EQ(ReadFile(dir.File("c")), std::string(64 * 1024, 'a'));

  // A progress function that aborts fails the call, not the next one.
  EXPECT_FALSE(Download("/a", dir.File("a"), &AbortTransfer));
  EXPECT_TRUE(Download("/a", dir.File("a")));
}

TEST_F(DownloadFileTest, MalformedUrlsAndSchemesOtherThanHttpFail) {
  // A manifest URL like this once copied a local file into the game.
  testing_support::WriteFile(dir.File("secret"), "local secret");
  for (const std::string& url :
       {std::string(), std::string("not a url"), "file://" + dir.File("secret"),
        "file://" + dir.File("secret") + "#http:",
        std::string("ftp://127.0.0.1:") + std::to_string(server.port()) + "/x",
        std::string("dict://127.0.0.1:") + std::to_string(server.port()) + "/x"}) {
    EXPECT_FALSE(DownloadFile(handle, wxString::FromUTF8(url),
                              wxString::FromUTF8(dir.File("out.bin")), 1, nullptr))
        << url;
    EXPECT_EQ(ReadFile(dir.File("out.bin")), "") << url;
  }
  EXPECT_EQ(server.TotalRequests(), 0);
  // The same handle still fetches over http afterwards.
  server.Serve("/file.bin", HttpResponse{200, "body"});
  EXPECT_TRUE(Download("/file.bin", dir.File("out.bin")));
  EXPECT_EQ(ReadFile(dir.File("out.bin")), "body");
}

// A failed transfer keeps what failed, told as the run log tells it.
TEST_F(DownloadFileTest, FailuresKeepTheirCause) {
  server.Serve("/missing", HttpResponse{404, "not here"});
  server.Serve("/moved", HttpResponse{301, "moved", {{"Location", server.Url("/x")}}});
  server.Serve("/big", HttpResponse{200, std::string(2048, 'b')});
  const std::string refused =
      "http://127.0.0.1:" + std::to_string(testing_support::ClosedLoopbackPort()) + "/f";
  const std::string out = dir.File("out.bin");
  struct Case {
    std::string url;
    std::string path;
    uint64_t maxBytes;
    std::string cause;
  };
  const Case cases[] = {
      {server.Url("/big"), out, kNoSizeLimit, ""},
      {server.Url("/missing"), out, kNoSizeLimit, "HTTP 404 from " + server.Url("/missing")},
      {server.Url("/moved"), out, kNoSizeLimit, "HTTP 301 from " + server.Url("/moved")},
      {refused, out, kNoSizeLimit, "connection refused by " + refused},
      {server.Url("/big"), out, 1024, "answer from " + server.Url("/big") + " too large"},
      {server.Url("/big"), "/dev/full", kNoSizeLimit, "disk full writing /dev/full"},
      {server.Url("/big"), dir.File("none/out.bin"), kNoSizeLimit,
       "cannot write " + dir.File("none/out.bin") + ": No such file or directory"},
      {"ftp://127.0.0.1:1/x", out, kNoSizeLimit,
       "not an http or https URL: \"ftp://127.0.0.1:1/x\""},
  };
  for (const Case& c : cases) {
    const wxString url = wxString::FromUTF8(c.url);
    const wxString path = wxString::FromUTF8(c.path);
    const TransferOutcome outcome = TransferFile(handle, url, path, 1, nullptr, c.maxBytes);
    EXPECT_EQ(outcome.fetched(), c.cause.empty()) << c.cause;
    EXPECT_EQ(DescribeTransfer(outcome, url, path).utf8_string(), c.cause);
  }
}

// Servers that fail on purpose: every case fails the attempt within its
// bound (the stall timeout is shortened to a second here).
struct HostileCase {
  const char* name;
  testing_support::Misbehaviour behaviour;
  uint64_t maxBytes;
};

TEST(DownloadFileHostileTest, FailingServersFailTheAttemptAndStayBounded) {
  using testing_support::Misbehaviour;
  constexpr uint64_t kBound = 256 * 1024;
  const HostileCase cases[] = {
      {"reset", Misbehaviour::Reset(), kNoSizeLimit},
      {"cut off", Misbehaviour::CutOff("only part", 100), kNoSizeLimit},
      {"accept and stall", Misbehaviour::Stall(), kNoSizeLimit},
      {"a byte every 2 s", Misbehaviour::Trickle(std::chrono::milliseconds(2000)), kNoSizeLimit},
      {"endless body", Misbehaviour::Endless(), kBound},
      {"declared too large", Misbehaviour::Answer(200, std::string(kBound + 1, 'l')), kBound},
      {"500", Misbehaviour::Answer(500, "error page"), kNoSizeLimit},
      // Redirects are not followed: their bodies count like any other.
      {"redirect with an endless body", Misbehaviour::Endless(302), kBound},
      // An error page is never kept larger than a document, bound or not.
      {"endless error page", Misbehaviour::Endless(404), kNoSizeLimit},
  };
  constexpr long kStallSeconds = 1;
  testing_support::MisbehavingServer server;
  ASSERT_TRUE(server.running());
  TempDir dir;
  CURL* handle = curl_easy_init();
  for (const HostileCase& c : cases) {
    server.Serve("/f", c.behaviour);
    const std::string out = dir.File("out.bin");
    EXPECT_FALSE(DownloadFile(handle, wxString::FromUTF8(server.Url("/f")), wxString::FromUTF8(out),
                              1, nullptr, c.maxBytes, kStallSeconds))
        << c.name;
    EXPECT_LE(ReadFile(out).size(), c.maxBytes != kNoSizeLimit ? c.maxBytes : kDocumentSizeLimit)
        << c.name;
  }
  // A body of exactly the bound is taken.
  server.Serve("/f", Misbehaviour::Answer(200, std::string(kBound, 'k')));
  EXPECT_TRUE(DownloadFile(handle, wxString::FromUTF8(server.Url("/f")),
                           wxString::FromUTF8(dir.File("out.bin")), 1, nullptr, kBound));
  curl_easy_cleanup(handle);
}

TEST_F(DownloadFileTest, DataThatCannotReachTheDiskFails) {
  // /dev/full takes the open and the buffered writes, and fails the flush.
  server.Serve("/file.bin", HttpResponse{200, "small body"});
  EXPECT_FALSE(Download("/file.bin", "/dev/full"));
}

// The bounded fetch's rounds, with a transfer that answers from a script:
// which URLs it asked, in which order, and where it stopped.
std::vector<std::string> g_asked;
int g_succeedAt = 0;  // the attempt that succeeds; 0: none
TransferOutcome ScriptedTransfer(CURL*, const wxString& url, const wxString&, long,
                                 curl_progress_callback, uint64_t, long) {
  g_asked.push_back(url.utf8_string());
  TransferOutcome outcome;
  outcome.httpStatus = static_cast<int>(g_asked.size()) == g_succeedAt ? 200 : 404;
  return outcome;
}

TEST(FetchFileTest, RoundsTryBothUrlsAndEndOnSuccessPauseOrStop) {
  struct Case {
    const char* name;
    const char* secondUrl;
    int succeedAt;
    int pausesAllowed;  // the pauses that let it go on; -1: every one
    int stopAfter;      // attempts after which a stop is asked; -1: never
    size_t attempts;
    int pauses;  // asked
    bool fetched;
    const char* cause;
  };
  const Case cases[] = {
      {"one URL fails ten rounds", "", 0, -1, -1, 10, 9, false, "HTTP 404 from a (10 attempts)"},
      {"two URLs fail ten rounds", "b", 0, -1, -1, 20, 9, false,
       "HTTP 404 from a; HTTP 404 from b (20 attempts)"},
      {"second URL answers in the first round", "b", 2, -1, -1, 2, 0, true, ""},
      {"third round answers", "", 3, -1, -1, 3, 2, true, ""},
      {"a refused pause ends it", "b", 0, 1, -1, 4, 2, false,
       "HTTP 404 from a; HTTP 404 from b (4 attempts)"},
      {"a stop ends it before the second URL", "b", 0, -1, 1, 1, 0, false, "HTTP 404 from a"},
      {"a stop before any attempt", "b", 0, -1, 0, 0, 0, false, "stopped before any attempt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_asked.clear();
    g_succeedAt = c.succeedAt;
    int pauses = 0;
    FetchRequest request;
    request.url = "a";
    request.secondUrl = c.secondUrl;
    FetchPace pace;
    pace.transfer = &ScriptedTransfer;
    pace.pauseBeforeRound = [&] { return ++pauses <= c.pausesAllowed || c.pausesAllowed < 0; };
    pace.stopRequested = [&c] {
      return c.stopAfter >= 0 && static_cast<int>(g_asked.size()) >= c.stopAfter;
    };
    const FetchResult result = FetchFile(request, pace);
    EXPECT_EQ(result.fetched, c.fetched);
    EXPECT_EQ(g_asked.size(), c.attempts);
    EXPECT_EQ(result.attempts, static_cast<int>(c.attempts));
    EXPECT_EQ(pauses, c.pauses);
    EXPECT_EQ(result.cause.utf8_string(), c.cause);
    for (size_t i = 0; i < g_asked.size(); ++i)
      EXPECT_EQ(g_asked[i], *c.secondUrl && i % 2 ? "b" : "a") << i;
  }
}

TEST(ParseContentLengthTest, StoresOnlyContentLengthLines) {
  long length = -5;
  char status[] = "HTTP/1.1 200 OK\r\n";
  EXPECT_EQ(ParseContentLength(status, 1, sizeof(status) - 1, &length), sizeof(status) - 1);
  EXPECT_EQ(length, -5);

  char header[] = "Content-Length: 1234\r\n";
  EXPECT_EQ(ParseContentLength(header, 1, sizeof(header) - 1, &length), sizeof(header) - 1);
  EXPECT_EQ(length, 1234);

  // The buffer is not terminated: digits just past its end must not be read.
  char cut[] = "Content-Length: 56789";
  length = 0;
  EXPECT_EQ(ParseContentLength(cut, 1, 18, &length), 18u);
  EXPECT_EQ(length, 56);
}

}  // namespace
