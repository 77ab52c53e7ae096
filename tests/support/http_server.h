// A real HTTP server on 127.0.0.1 for tests that download. It listens on an
// ephemeral port from construction to destruction, on its own threads.
//
//   testing_support::LoopbackHttpServer server;
//   server.Serve("/list.xml", {200, "<list/>"});
//   server.Serve("/flaky", [](int n) { return HttpResponse{n == 1 ? 500 : 200, "ok"}; });
//   DownloadFile(handle, server.Url("/list.xml"), ...);
//   EXPECT_EQ(server.RequestCount("/list.xml"), 1);
//
// Every request method is answered the same way. Paths without a route get
// 404 with an empty body; they are counted as well.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace testing_support {

struct HttpResponse {
  HttpResponse(int status = 200, std::string body = {},
               std::vector<std::pair<std::string, std::string>> headers = {},
               std::string contentType = "application/octet-stream")
      : status(status),
        body(std::move(body)),
        headers(std::move(headers)),
        contentType(std::move(contentType)) {}

  int status;
  std::string body;
  // Extra headers, e.g. {"Location", "/elsewhere"} for a redirect.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string contentType;
};

class LoopbackHttpServer {
 public:
  // Called with the 1-based number of the request to this path.
  using Handler = std::function<HttpResponse(int requestNumber)>;

  // Binds and starts serving; waits up to a few seconds until the server runs.
  // A server that could not start reports running() false (tests should
  // ASSERT_TRUE(server.running())).
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  bool running() const;
  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path` (which starts with "/").
  std::string Url(const std::string& path) const;
  // "http://127.0.0.1:<port>/": a base URL to which relative paths are added.
  std::string BaseUrl() const { return Url("/"); }

  // Answers requests for `path` with a fixed response, or with `handler`.
  // A later registration for the same path replaces the earlier one.
  void Serve(const std::string& path, HttpResponse response);
  void Serve(const std::string& path, Handler handler);

  int RequestCount(const std::string& path) const;
  int TotalRequests() const;

 private:
  HttpResponse Answer(const std::string& path);

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = -1;
  mutable std::mutex mutex_;
  std::map<std::string, Handler> routes_;
  std::map<std::string, int> counts_;
};

// A loopback port on which nothing listens (bound once, then closed), for
// refused connections. -1 when no port could be had.
int ClosedLoopbackPort();

}  // namespace testing_support
