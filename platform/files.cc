#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "platform/file_descriptor.h"

namespace platform {

namespace fs = std::filesystem;

std::string ToNativeSeparators(std::string path) {
  std::replace(path.begin(), path.end(), '\\', kPathSeparator);
  return path;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateFileIfMissing(const std::string& path) {
  if (path.empty()) return false;
  FileDescriptor fd;
  do {
    // A link is never followed: one to nothing would create a file
    // wherever it points.
    fd = FileDescriptor(
        open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
  } while (!fd.ok() && errno == EINTR);
  if (fd.ok()) return true;
  // A read-only file that exists (or a link to one) still counts.
  return FileExists(path);
}

bool DeleteFile(const std::string& path) {
  if (DirectoryExists(path)) return false;
  return !path.empty() && unlink(path.c_str()) == 0;
}

bool MakeWritable(const std::string& path) {
  std::error_code error;
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, error);
  return !error;
}

bool IsReadOnly(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error || !fs::exists(status)) return false;
  return (status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

bool CopyRecursively(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return false;
  std::error_code error;
  const fs::file_status source = fs::status(from, error);
  if (error || !fs::exists(source)) return false;
  if (fs::is_directory(source)) {
    fs::create_directories(to, error);
    if (error) return false;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    return !error;
  }
  // A read-only target would refuse to be replaced.
  if (fs::exists(to, error)) MakeWritable(to);
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  return !error;
}

bool DeleteRecursively(const std::string& path) {
  if (path.empty()) return false;
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (status.type() == fs::file_type::not_found) return true;
  if (error) return false;
  // Read-only directories would keep their entries; open them up first.
  if (fs::is_directory(status)) {
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, error);
    for (auto it = fs::recursive_directory_iterator(path, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
      std::error_code ignored;
      if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
      }
    }
  }
  error.clear();
  fs::remove_all(path, error);
  std::error_code ignored;
  return !fs::exists(fs::symlink_status(path, ignored));
}

std::string ReadUpTo(int fd, size_t limit) {
  std::string text;
  char buffer[65536];
  while (text.size() < limit) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  return text;
}

}  // namespace platform
