#include "tests/support/http_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "tests/support/wait_until.h"

namespace testing_support {

LoopbackHttpServer::LoopbackHttpServer() : server_(std::make_unique<httplib::Server>()) {
  auto respond = [this](const httplib::Request& request, httplib::Response& response) {
    HttpResponse answer = Answer(request.path);
    response.status = answer.status;
    for (const auto& [name, value] : answer.headers) response.set_header(name, value);
    response.set_content(answer.body, answer.contentType.c_str());
  };
  server_->Get(".*", respond);
  server_->Post(".*", respond);

  // Binding here (with listen(2)) means the kernel queues connections even
  // before the serving thread accepts them.
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) {
    port_ = -1;
    return;
  }
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  WaitUntil([this] { return server_->is_running(); }, std::chrono::seconds(5));
}

LoopbackHttpServer::~LoopbackHttpServer() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

bool LoopbackHttpServer::running() const { return port_ > 0 && server_->is_running(); }

std::string LoopbackHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackHttpServer::Serve(const std::string& path, HttpResponse response) {
  Serve(path, [response](int) { return response; });
}

void LoopbackHttpServer::Serve(const std::string& path, Handler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = std::move(handler);
}

int LoopbackHttpServer::RequestCount(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = counts_.find(path);
  return it == counts_.end() ? 0 : it->second;
}

int LoopbackHttpServer::TotalRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  int total = 0;
  for (const auto& entry : counts_) total += entry.second;
  return total;
}

HttpResponse LoopbackHttpServer::Answer(const std::string& path) {
  Handler handler;
  int number = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    number = ++counts_[path];
    auto it = routes_.find(path);
    if (it == routes_.end()) return HttpResponse{404, "", {}, "text/plain"};
    handler = it->second;
  }
  // Run outside the lock so a handler may take its time or query counts.
  return handler(number);
}

int ClosedLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof(address);
  int port = -1;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

}  // namespace testing_support

// cpp-httplib comes uninstrumented: its threads meet through the inline fast
// path of function-local statics, which ThreadSanitizer cannot see, and it
// reports the library's own first uses as races. Only calls made from that
// library are let pass; our code stays fully checked.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libcpp-httplib.so\n";
}
