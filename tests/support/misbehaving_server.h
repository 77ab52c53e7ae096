// A loopback HTTP server (127.0.0.1, ephemeral port) that fails on purpose,
// for the tests that hold the download road against bad servers. Each
// request gets the behaviour its path was given; every request is counted.
//
//   testing_support::MisbehavingServer server;
//   server.Serve("/m.xml", testing_support::Misbehaviour::Stall());
//   DownloadFile(handle, server.Url("/m.xml"), ...);  // times out
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

struct Misbehaviour {
  enum class Kind { Answer, Reset, CutOff, Stall, Trickle, Endless };
  Kind kind = Kind::Answer;
  int status = 200;
  std::string body;
  // CutOff: the length announced; the body sent is shorter.
  size_t announcedLength = 0;
  // Trickle: one byte per interval.
  std::chrono::milliseconds interval{0};

  static Misbehaviour Answer(int status, std::string body = {});
  static Misbehaviour Reset();  // reads the request, then resets the connection
  static Misbehaviour CutOff(std::string sent, size_t announced);
  static Misbehaviour Stall();  // reads the request and never answers
  static Misbehaviour Trickle(std::chrono::milliseconds interval);
  static Misbehaviour Endless();  // 200 and a body without end or length
};

class MisbehavingServer {
 public:
  MisbehavingServer();
  ~MisbehavingServer();
  MisbehavingServer(const MisbehavingServer&) = delete;
  MisbehavingServer& operator=(const MisbehavingServer&) = delete;

  bool running() const { return port_ > 0; }
  std::string Url(const std::string& path) const;
  // Paths without a behaviour answer 404.
  void Serve(const std::string& path, Misbehaviour behaviour);
  int RequestCount(const std::string& path) const;
  int TotalRequests() const;

 private:
  void AcceptLoop();
  void Handle(int fd);
  bool Stopping() const { return stopping_; }

  int listener_ = -1;
  int port_ = -1;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  mutable std::mutex mutex_;
  std::map<std::string, Misbehaviour> routes_;
  std::map<std::string, int> counts_;
  std::vector<std::thread> connections_;
};

}  // namespace testing_support
