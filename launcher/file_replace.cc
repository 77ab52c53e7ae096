#include "launcher/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "launcher/file_descriptor.h"
#include "platform/files.h"

namespace {

bool CopyContent(int from, int to) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(from, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!WriteAll(to, buffer, static_cast<size_t>(got))) return false;
  }
}

bool ReplaceableTarget(const std::string& target) {
  if (platform::DirectoryExists(target)) return false;
  // An installed read-only file is not replaced (the process may run with
  // rights that would ignore the permission bits).
  return !(platform::FileExists(target) && platform::IsReadOnly(target));
}

// Closes `out` and, when all went well, renames `temporary` over `target`;
// otherwise the temporary file goes and the target stays as it was.
bool Commit(FileDescriptor& out, bool ok, const std::string& temporary, const std::string& target) {
  ok = fsync(out.get()) == 0 && ok;
  ok = out.Close() && ok;
  ok = ok && rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

}  // namespace

bool CopyFileReplacing(const wxString& source, const wxString& target) {
  const std::string from = source.utf8_string();
  const std::string to = target.utf8_string();
  if (!platform::FileExists(from) || !ReplaceableTarget(to)) return false;

  FileDescriptor in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return false;
  struct stat info {};
  if (fstat(in.get(), &info) != 0) return false;

  std::string temporary = to + ".XXXXXX";
  FileDescriptor out(mkstemp(temporary.data()));
  if (out.get() < 0) return false;
  const bool ok = CopyContent(in.get(), out.get()) && fchmod(out.get(), info.st_mode & 07777) == 0;
  return Commit(out, ok, temporary, to);
}

bool WriteFileReplacing(const wxString& target, const std::string& bytes) {
  const std::string to = target.utf8_string();
  if (!ReplaceableTarget(to)) return false;
  std::string temporary = to + ".XXXXXX";
  FileDescriptor out(mkstemp(temporary.data()));
  if (out.get() < 0) return false;
  // A replaced file keeps its permissions; a new one gets the usual ones.
  struct stat info {};
  const mode_t mode = stat(to.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0644;
  const bool ok = WriteAll(out.get(), bytes.data(), bytes.size()) && fchmod(out.get(), mode) == 0;
  return Commit(out, ok, temporary, to);
}
