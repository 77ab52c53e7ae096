#include "tests/support/misbehaving_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace testing_support {
namespace {

constexpr int kPollMs = 20;

// Sends all of `text`; false once the peer is gone.
bool SendAll(int fd, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// True when the peer has closed its end (or the socket failed).
bool PeerGone(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, 0) <= 0) return false;
  char byte;
  return ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
}

std::string Head(int status, const std::string& extra) {
  return "HTTP/1.1 " + std::to_string(status) + " X\r\nConnection: close\r\n" + extra + "\r\n";
}

}  // namespace

Misbehaviour Misbehaviour::Answer(int status, std::string body) {
  Misbehaviour m;
  m.status = status;
  m.body = std::move(body);
  return m;
}
Misbehaviour Misbehaviour::Reset() {
  Misbehaviour m;
  m.kind = Kind::Reset;
  return m;
}
Misbehaviour Misbehaviour::CutOff(std::string sent, size_t announced) {
  Misbehaviour m;
  m.kind = Kind::CutOff;
  m.body = std::move(sent);
  m.announcedLength = announced;
  return m;
}
Misbehaviour Misbehaviour::Stall() {
  Misbehaviour m;
  m.kind = Kind::Stall;
  return m;
}
Misbehaviour Misbehaviour::Trickle(std::chrono::milliseconds interval) {
  Misbehaviour m;
  m.kind = Kind::Trickle;
  m.interval = interval;
  return m;
}
Misbehaviour Misbehaviour::Endless() {
  Misbehaviour m;
  m.kind = Kind::Endless;
  return m;
}

MisbehavingServer::MisbehavingServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 64) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

MisbehavingServer::~MisbehavingServer() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  for (std::thread& connection : connections_) connection.join();
  if (listener_ >= 0) ::close(listener_);
}

std::string MisbehavingServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void MisbehavingServer::Serve(const std::string& path, Misbehaviour behaviour) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = std::move(behaviour);
}

int MisbehavingServer::RequestCount(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = counts_.find(path);
  return it == counts_.end() ? 0 : it->second;
}

int MisbehavingServer::TotalRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  int total = 0;
  for (const auto& count : counts_) total += count.second;
  return total;
}

void MisbehavingServer::AcceptLoop() {
  while (!Stopping()) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, kPollMs) <= 0) continue;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    connections_.emplace_back([this, fd] { Handle(fd); });
  }
}

void MisbehavingServer::Handle(int fd) {
  // The request line and headers, up to the blank line.
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && !Stopping()) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kPollMs) <= 0) continue;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  const size_t start = request.find(' ');
  const size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
  const std::string path =
      end == std::string::npos ? std::string() : request.substr(start + 1, end - start - 1);
  Misbehaviour behaviour = Misbehaviour::Answer(404, "not here");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!path.empty()) ++counts_[path];
    const auto it = routes_.find(path);
    if (it != routes_.end()) behaviour = it->second;
  }

  using Kind = Misbehaviour::Kind;
  switch (behaviour.kind) {
    case Kind::Answer:
      SendAll(fd, Head(behaviour.status,
                       "Content-Length: " + std::to_string(behaviour.body.size()) + "\r\n") +
                      behaviour.body);
      break;
    case Kind::Reset: {
      linger hard{1, 0};  // closing now sends a reset
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
      break;
    }
    case Kind::CutOff:
      SendAll(fd,
              Head(200, "Content-Length: " + std::to_string(behaviour.announcedLength) + "\r\n") +
                  behaviour.body);
      break;
    case Kind::Stall:
      while (!Stopping() && !PeerGone(fd)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
      }
      break;
    case Kind::Trickle:
      if (!SendAll(fd, Head(200, "Content-Length: 1000000\r\n"))) break;
      while (!Stopping() && !PeerGone(fd) && SendAll(fd, "x")) {
        const auto until = std::chrono::steady_clock::now() + behaviour.interval;
        while (!Stopping() && std::chrono::steady_clock::now() < until) {
          std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        }
      }
      break;
    case Kind::Endless: {
      if (!SendAll(fd, Head(200, ""))) break;
      const std::string block(64 * 1024, 'e');
      while (!Stopping() && SendAll(fd, block)) {
      }
      break;
    }
  }
  ::close(fd);
}

}  // namespace testing_support
