#include "platform/program.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/detached_spawn.h"

namespace platform {

Status StartProgram(const std::string& path, const std::string& parameters, int keptDescriptor) {
  if (path.empty()) return Error{"no program path"};
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return Error::FromErrno(path, errno);
  if (!S_ISREG(info.st_mode)) return Error::FromErrno(path, EACCES);
  if (access(path.c_str(), X_OK) != 0) return Error::FromErrno(path, errno);
  std::vector<std::string> arguments;
  if (!parameters.empty()) arguments.push_back(parameters);
  return SpawnDetached(path, arguments, keptDescriptor);
}

std::string ProgramDirectory() {
  std::string target(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", target.data(), target.size());
  if (length <= 0 || static_cast<size_t>(length) >= target.size()) return "./";
  target.resize(static_cast<size_t>(length));
  const size_t slash = target.rfind('/');
  return slash == std::string::npos ? std::string("./") : target.substr(0, slash + 1);
}

}  // namespace platform
