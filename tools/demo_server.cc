// A small HTTP server for trying the launcher out: serves one directory on
// 127.0.0.1 so that the demo program directory has an update server and a
// server-list server without anything from outside.
//
//   demo_server <directory> <port>
//
// Prints "demo_server: serving ..." once it listens, and runs until it is
// stopped (SIGINT or SIGTERM). A port that another program listens on is
// refused (exit status 1): sharing it would let that program answer the
// demo's requests.
#include <httplib.h>
#include <sys/socket.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

httplib::Server* g_server = nullptr;

void StopOnSignal(int) {
  if (g_server) g_server->stop();
}

// A restarted demo may reuse its port at once; no second listener may join.
void ExclusiveSocketOptions(socket_t sock) {
  int yes = 1;
  setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <directory> <port>\n", argv[0]);
    return 2;
  }
  const int port = std::atoi(argv[2]);
  httplib::Server server;
  if (!server.set_mount_point("/", argv[1])) {
    std::fprintf(stderr, "demo_server: %s is not a directory\n", argv[1]);
    return 1;
  }
  server.set_socket_options(ExclusiveSocketOptions);
  if (!server.bind_to_port("127.0.0.1", port)) {
    std::fprintf(stderr, "demo_server: cannot listen on 127.0.0.1:%d (in use?)\n", port);
    return 1;
  }
  g_server = &server;
  std::signal(SIGINT, StopOnSignal);
  std::signal(SIGTERM, StopOnSignal);
  std::fprintf(stderr, "demo_server: serving %s on http://127.0.0.1:%d/\n", argv[1], port);
  return server.listen_after_bind() ? 0 : 1;
}
