#include "launcher/packages/applied_packages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <vector>

#include "platform/file_descriptor.h"

using platform::FileDescriptor;
using platform::ReadAt;
using platform::WriteAll;

namespace {

constexpr uint64_t kFingerprintTail = 1024 * 1024;
// A record file larger than this is not trusted (nor read).
constexpr std::streamoff kLargestRecord = 1024 * 1024;

std::string RecordPath(const wxString& programDir) {
  std::string dir = programDir.utf8_string();
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir + kAppliedPackagesFile;
}

// One line: the version, a tab, the fingerprint. Versions with line breaks
// or tabs, and fingerprints with line breaks (one may hold a file name from
// a package), cannot be recorded: no line ever forges another.
bool LineFor(const wxString& version, const std::string& fingerprint, std::string& line) {
  const std::string text = version.utf8_string();
  if (fingerprint.empty() || text.find_first_of("\t\r\n") != std::string::npos ||
      fingerprint.find_first_of("\r\n") != std::string::npos) {
    return false;
  }
  line = text + "\t" + fingerprint;
  return true;
}

}  // namespace

std::string PackageFingerprint(const wxString& packagePath) {
  FileDescriptor fd(open(packagePath.utf8_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (!fd.ok() || fstat(fd.get(), &info) != 0) return std::string();
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  const uint64_t tail = size < kFingerprintTail ? size : kFingerprintTail;
  std::vector<unsigned char> bytes(tail);
  if (tail > 0 && !ReadAt(fd.get(), size - tail, bytes.data(), tail)) return std::string();
  // FNV-1a, 64 bits, over the tail.
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char byte : bytes) hash = (hash ^ byte) * 0x100000001b3ULL;
  char text[64];
  std::snprintf(text, sizeof text, "%" PRIu64 "-%016" PRIx64, size, hash);
  return text;
}

bool WasApplied(const wxString& programDir, const wxString& version,
                const std::string& fingerprint) {
  std::string wanted;
  if (!LineFor(version, fingerprint, wanted)) return false;
  return AppliedFingerprints(programDir, version).count(fingerprint) > 0;
}

std::set<std::string> AppliedFingerprints(const wxString& programDir, const wxString& version) {
  std::set<std::string> found;
  std::string prefix;
  if (!LineFor(version, "-", prefix)) return found;
  prefix.pop_back();  // the version and its tab
  std::ifstream in(RecordPath(programDir), std::ios::binary | std::ios::ate);
  if (!in || in.tellg() > kLargestRecord) return found;
  in.seekg(0);
  for (std::string line; std::getline(in, line);) {
    if (line.size() > prefix.size() && line.compare(0, prefix.size(), prefix) == 0) {
      found.insert(line.substr(prefix.size()));
    }
  }
  return found;
}

bool RecordApplied(const wxString& programDir, const wxString& version,
                   const std::string& fingerprint) {
  std::string line;
  if (!LineFor(version, fingerprint, line)) return false;
  line += "\n";
  const std::string path = RecordPath(programDir);
  FileDescriptor fd(open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (!fd.ok() || !WriteAll(fd.get(), line.data(), line.size()) || fsync(fd.get()) != 0) {
    return false;
  }
  FileDescriptor dir(open(programDir.utf8_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return dir.ok() && fsync(dir.get()) == 0 && fd.Close();
}

void ForgetApplied(const wxString& programDir) { unlink(RecordPath(programDir).c_str()); }
