#include "launcher/download_file.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>

#include "tests/support/curl_environment.h"
#include "tests/support/http_server.h"
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

TEST_F(DownloadFileTest, Status200WritesTheBody) {
  server.Serve("/file.bin", HttpResponse{200, std::string("body\0with zero", 14)});
  EXPECT_TRUE(Download("/file.bin", dir.File("out.bin")));
  EXPECT_EQ(ReadFile(dir.File("out.bin")), std::string("body\0with zero", 14));
}

TEST_F(DownloadFileTest, EmptyBodyWithStatus200SucceedsWithEmptyFile) {
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

  server.Serve("/broken", HttpResponse{500, "oops"});
  EXPECT_FALSE(Download("/broken", dir.File("out.html")));
  EXPECT_EQ(ReadFile(dir.File("out.html")), "oops");
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

TEST_F(DownloadFileTest, MalformedUrlFailsButCreatesTheFile) {
  EXPECT_FALSE(DownloadFile(handle, "", wxString::FromUTF8(dir.File("a.bin")), 1, nullptr));
  EXPECT_TRUE(testing_support::PathExists(dir.File("a.bin")));
  EXPECT_FALSE(DownloadFile(handle, "not a url", wxString::FromUTF8(dir.File("b.bin")), 1, nullptr));
  EXPECT_TRUE(testing_support::PathExists(dir.File("b.bin")));
}

TEST_F(DownloadFileTest, MissingDirectoryFailsWithoutRequest) {
  server.Serve("/file.bin", HttpResponse{200, "body"});
  EXPECT_FALSE(Download("/file.bin", dir.File("no-such-dir/out.bin")));
  EXPECT_EQ(server.TotalRequests(), 0);
  EXPECT_FALSE(testing_support::PathExists(dir.File("no-such-dir")));
}

TEST_F(DownloadFileTest, NonAsciiPathIsWrittenAsUtf8) {
  server.Serve("/file.bin", HttpResponse{200, "body"});
  EXPECT_TRUE(Download("/file.bin", dir.File("更新.bin")));
  EXPECT_EQ(ReadFile(dir.File("更新.bin")), "body");
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
}

TEST_F(DownloadFileTest, ProgressFunctionCanAbortTheTransfer) {
  server.Serve("/a", HttpResponse{200, std::string(64 * 1024, 'a')});
  EXPECT_FALSE(Download("/a", dir.File("a"), &AbortTransfer));
  EXPECT_TRUE(Download("/a", dir.File("a")));
}

TEST_F(DownloadFileTest, OnlyHttpAndHttpsAreUsed) {
  // A manifest URL like this once copied a local file into the game.
  testing_support::WriteFile(dir.File("secret"), "local secret");
  for (const std::string& url : {"file://" + dir.File("secret"), "file://" + dir.File("secret") + "#http:",
                                 std::string("ftp://127.0.0.1:") + std::to_string(server.port()) + "/x",
                                 std::string("dict://127.0.0.1:") + std::to_string(server.port()) + "/x"}) {
    EXPECT_FALSE(DownloadFile(handle, wxString::FromUTF8(url), wxString::FromUTF8(dir.File("out.bin")), 1,
                              nullptr))
        << url;
    EXPECT_EQ(ReadFile(dir.File("out.bin")), "") << url;
  }
  EXPECT_EQ(server.TotalRequests(), 0);
  // The same handle still fetches over http afterwards.
  server.Serve("/file.bin", HttpResponse{200, "body"});
  EXPECT_TRUE(Download("/file.bin", dir.File("out.bin")));
  EXPECT_EQ(ReadFile(dir.File("out.bin")), "body");
}

// A one-shot server on 127.0.0.1 that answers the first request with a
// fixed raw response and then closes the connection.
class RawResponseServer {
 public:
  explicit RawResponseServer(std::string response) : response_(std::move(response)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener_, 1) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { AnswerOnce(); });
  }
  ~RawResponseServer() {
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) close(listener_);
  }
  int port() const { return port_; }

 private:
  void AnswerOnce() {
    pollfd waiting{listener_, POLLIN, 0};
    if (poll(&waiting, 1, 10000) != 1) return;  // no client within the limit
    const int connection = accept(listener_, nullptr, nullptr);
    if (connection < 0) return;
    // Read the request head (bounded), then answer and hang up.
    std::string request;
    char buffer[1024];
    pollfd reading{connection, POLLIN, 0};
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536 &&
           poll(&reading, 1, 10000) == 1) {
      const ssize_t count = recv(connection, buffer, sizeof(buffer), 0);
      if (count <= 0) break;
      request.append(buffer, static_cast<size_t>(count));
    }
    const ssize_t sent = send(connection, response_.data(), response_.size(), MSG_NOSIGNAL);
    (void)sent;
    close(connection);
  }

  std::string response_;
  int listener_ = -1;
  int port_ = -1;
  std::thread thread_;
};

TEST_F(DownloadFileTest, BodyCutOffBeforeItsLengthFails) {
  RawResponseServer raw(
      "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nonly part");
  ASSERT_GT(raw.port(), 0);
  const wxString url = wxString::Format("http://127.0.0.1:%d/file", raw.port());
  EXPECT_FALSE(DownloadFile(handle, url, wxString::FromUTF8(dir.File("out.bin")), 1, nullptr));
  EXPECT_EQ(ReadFile(dir.File("out.bin")), "only part");
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
