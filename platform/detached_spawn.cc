#include "platform/detached_spawn.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file_descriptor.h"

extern char** environ;

namespace platform {
namespace {

// Between fork and exec only async-signal-safe calls are allowed, since
// other threads may hold locks at the moment of the fork.
[[noreturn]] void ExecInGrandchild(const char* path, char* const* argv, int errorPipe,
                                   int keptDescriptor) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  signal(SIGPIPE, SIG_DFL);
  // The launcher's log, sockets and pipes are not the child's business.
  close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
  if (keptDescriptor > 2) fcntl(keptDescriptor, F_SETFD, 0);
  execve(path, argv, environ);
  const int error = errno;
  ssize_t ignored = write(errorPipe, &error, sizeof error);
  (void)ignored;
  _exit(127);
}

}  // namespace

Status SpawnDetached(const std::string& path, const std::vector<std::string>& arguments,
                     int keptDescriptor) {
  // Everything the children need is prepared before the fork.
  std::vector<std::string> storage;
  storage.reserve(arguments.size() + 1);
  storage.push_back(path);
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : storage) argv.push_back(argument.data());
  argv.push_back(nullptr);

  int errorPipe[2];
  if (pipe2(errorPipe, O_CLOEXEC) != 0) return Error::FromErrno("pipe", errno);
  FileDescriptor readEnd(errorPipe[0]);
  FileDescriptor writeEnd(errorPipe[1]);

  const pid_t child = fork();
  if (child < 0) return Error::FromErrno("fork", errno);
  if (child == 0) {
    readEnd.Close();
    setsid();
    const pid_t grandchild = fork();
    if (grandchild < 0) {
      const int error = errno;
      ssize_t ignored = write(writeEnd.get(), &error, sizeof error);
      (void)ignored;
      _exit(127);
    }
    if (grandchild == 0)
      ExecInGrandchild(storage[0].c_str(), argv.data(), writeEnd.get(), keptDescriptor);
    _exit(0);
  }

  writeEnd.Close();
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // The pipe closes on a successful exec; an errno arrives on a failed one.
  int childError = 0;
  ssize_t got;
  do {
    got = read(readEnd.get(), &childError, sizeof childError);
  } while (got < 0 && errno == EINTR);
  if (got == 0) return Status();
  return Error::FromErrno("cannot start " + path, got > 0 ? childError : EIO);
}

std::string FindInPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path || name.empty()) return "";
  std::string directories = path;
  size_t start = 0;
  while (start <= directories.size()) {
    size_t end = directories.find(':', start);
    if (end == std::string::npos) end = directories.size();
    std::string directory = directories.substr(start, end - start);
    if (directory.empty()) directory = ".";
    const std::string candidate = directory + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

}  // namespace platform
