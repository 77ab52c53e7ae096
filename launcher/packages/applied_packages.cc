#include "launcher/packages/applied_packages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "platform/file_descriptor.h"
#include "platform/files.h"

using platform::FileDescriptor;
using platform::ReadAt;
using platform::WriteAll;

namespace {

constexpr uint64_t kFingerprintTail = 1024 * 1024;
// The record is read this far at most.
constexpr size_t kLargestRecord = 16 * 1024 * 1024;
constexpr char kFieldSeparator = '\t';

std::string RecordPath(const wxString& programDir) {
  std::string dir = programDir.utf8_string();
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir + kAppliedPackagesFile;
}

// FNV-1a, 64 bits.
struct Hash {
  uint64_t value = 0xcbf29ce484222325ULL;
  void Add(const unsigned char* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) value = (value ^ bytes[i]) * 0x100000001b3ULL;
  }
};

std::string SizeAndHash(uint64_t size, uint64_t hash) {
  char text[64];
  std::snprintf(text, sizeof text, "%" PRIu64 "-%016" PRIx64, size, hash);
  return text;
}

// Tabs and line breaks in a field (a file name may hold them) are escaped,
// so that no field ever forges another or a line.
std::string Escaped(const std::string& field) {
  std::string out;
  for (char c : field) {
    if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
      char code[4];
      std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
      out += code;
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == kFieldSeparator) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

std::string LineOf(const std::string& version, const MergeRecord& r) {
  const char tab[] = {kFieldSeparator, '\0'};
  return Escaped(version) + tab + Escaped(r.target) + tab + Escaped(r.before) + tab +
         Escaped(r.after) + tab + Escaped(r.merge) + "\n";
}

// The record's text, read without following a link; empty when missing.
std::string ReadRecord(const std::string& path) {
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  return fd.ok() ? platform::ReadUpTo(fd.get(), kLargestRecord) : std::string();
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
  Hash hash;
  hash.Add(bytes.data(), bytes.size());
  return SizeAndHash(size, hash.value);
}

std::string MergeState(const std::string& indexFile, const std::string& dataFile) {
  std::string state = "-";
  FileDescriptor fd(open(indexFile.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.ok()) {
    Hash hash;
    uint64_t size = 0;
    unsigned char buffer[65536];
    for (;;) {
      const ssize_t got = read(fd.get(), buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return "?";  // unreadable: matches no state recorded
      if (got == 0) break;
      hash.Add(buffer, static_cast<size_t>(got));
      size += static_cast<uint64_t>(got);
    }
    state = SizeAndHash(size, hash.value);
  } else if (errno != ENOENT) {
    return "?";
  }
  if (dataFile.empty()) return state;
  struct stat data {};
  return state + "/" + (stat(dataFile.c_str(), &data) == 0 ? std::to_string(data.st_size) : "-");
}

AppliedMerges::AppliedMerges(const wxString& programDir, const wxString& version)
    : programDir_(programDir), version_(version.utf8_string()) {
  const std::string text = ReadRecord(RecordPath(programDir));
  const std::string wanted = Escaped(version_);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) break;  // a line cut short is no record
    const std::vector<std::string> fields = Fields(text.substr(start, end - start));
    start = end + 1;
    if (fields.size() != 5 || fields[0] != wanted) continue;
    // Fields are compared in their escaped form, as they were written.
    byTarget_[fields[1]].push_back(MergeRecord{fields[1], fields[2], fields[3], fields[4]});
  }
}

bool AppliedMerges::Done(const std::string& merge, const std::string& target,
                         const std::string& current) const {
  const auto found = byTarget_.find(Escaped(target));
  if (found == byTarget_.end()) return false;
  const std::vector<MergeRecord>& chain = found->second;
  const std::string mergeKey = Escaped(merge);
  const std::string currentKey = Escaped(current);
  for (size_t i = 0; i < chain.size(); ++i) {
    if (chain[i].merge != mergeKey) continue;
    std::string reached = chain[i].after;
    for (size_t j = i + 1; j < chain.size(); ++j) {
      if (chain[j].before == reached) reached = chain[j].after;
    }
    if (reached == currentKey) return true;
  }
  return false;
}

void AppliedMerges::Add(MergeRecord record) {
  MergeRecord escaped{Escaped(record.target), Escaped(record.before), Escaped(record.after),
                      Escaped(record.merge)};
  byTarget_[escaped.target].push_back(escaped);
  unrecorded_.push_back(std::move(record));
}

bool AppliedMerges::Record() {
  if (unrecorded_.empty()) return true;
  std::string lines;
  for (const MergeRecord& record : unrecorded_) lines += LineOf(version_, record);
  const std::string path = RecordPath(programDir_);
  FileDescriptor fd(
      open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (!fd.ok() || !WriteAll(fd.get(), lines.data(), lines.size()) || fsync(fd.get()) != 0) {
    return false;
  }
  FileDescriptor dir(open(programDir_.utf8_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.ok() || fsync(dir.get()) != 0 || !fd.Close()) return false;
  unrecorded_.clear();
  return true;
}

void ForgetApplied(const wxString& programDir) { unlink(RecordPath(programDir).c_str()); }
