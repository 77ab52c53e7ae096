#include "launcher/system/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_descriptor.h"
#include "platform/files.h"

using platform::CopyAll;
using platform::FileDescriptor;
using platform::WriteAll;

namespace {

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
  if (!ok) {
    unlink(temporary.c_str());
    return false;
  }
  // The new name itself must be on disk too before anyone relies on it.
  const size_t slash = target.find_last_of('/');
  const std::string dir =
      slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
  FileDescriptor directory(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return directory.ok() && fsync(directory.get()) == 0;
}

// A replaced file keeps the installed file's permission bits; a new one
// takes `fallback`.
mode_t ModeFor(const std::string& target, mode_t fallback) {
  struct stat info {};
  return stat(target.c_str(), &info) == 0 ? (info.st_mode & 07777) : fallback;
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
  const bool ok =
      CopyAll(in.get(), out.get()) && fchmod(out.get(), ModeFor(to, info.st_mode & 07777)) == 0;
  return Commit(out, ok, temporary, to);
}

bool WriteFileReplacing(const wxString& target, const std::string& bytes) {
  const std::string to = target.utf8_string();
  if (!ReplaceableTarget(to)) return false;
  std::string temporary = to + ".XXXXXX";
  FileDescriptor out(mkstemp(temporary.data()));
  if (out.get() < 0) return false;
  const bool ok =
      WriteAll(out.get(), bytes.data(), bytes.size()) && fchmod(out.get(), ModeFor(to, 0644)) == 0;
  return Commit(out, ok, temporary, to);
}
