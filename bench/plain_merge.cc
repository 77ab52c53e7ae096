// The peer of the index merges: the same merge of a patch index (and its
// data) into an installed index, written the plain way a tool would: both
// indexes and the package's data read whole, the records changed in memory,
// each entry that keeps its place written there, the appended entries and
// the index written in one go each.
//
//   velmor_plain_merge index INSTALLED_I PACKAGE_I
//   velmor_plain_merge data INSTALLED_I PACKAGE_I   (data files without ".i")
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr size_t kHeader = 136;
constexpr size_t kInstalled = 20;
constexpr size_t kPatch = 24;
constexpr uint32_t kDetached = 0xFFFFFFFF;

uint32_t Get32(const char* at) {
  uint32_t value;
  std::memcpy(&value, at, 4);
  return value;
}
void Put32(char* at, uint32_t value) { std::memcpy(at, &value, 4); }

bool ReadWhole(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad() && bytes.size() >= kHeader;
}

bool WriteWhole(const std::string& path, const std::string& bytes) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written;
}

// The installed record for a patch record: its fields, with `offset`.
void SetRecord(char* installed, const char* patch, uint32_t offset) {
  Put32(installed, offset);
  std::memcpy(installed + 4, patch + 4, kInstalled - 4);
}

bool MergeIndex(const std::string& installedPath, const std::string& patchPath) {
  std::string installed, patch;
  if (!ReadWhole(installedPath, installed) || !ReadWhole(patchPath, patch)) return false;
  const size_t count = (installed.size() - kHeader) / kInstalled;
  const size_t patches = (patch.size() - kHeader) / kPatch;
  for (size_t i = 0; i < patches; ++i) {
    const char* record = patch.data() + kHeader + i * kPatch;
    const uint32_t target = Get32(record + 20);
    char fresh[kInstalled];
    char* into = target < count ? &installed[kHeader + target * kInstalled] : fresh;
    SetRecord(into, record, kDetached);
    if (into == fresh) installed.append(fresh, kInstalled);
  }
  return WriteWhole(installedPath, installed);
}

std::string DataOf(const std::string& index) { return index.substr(0, index.rfind('.')); }

bool MergeData(const std::string& installedPath, const std::string& patchPath) {
  std::string installed, patch, from;
  if (!ReadWhole(installedPath, installed) || !ReadWhole(patchPath, patch)) return false;
  std::ifstream in(DataOf(patchPath), std::ios::binary);
  from.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  const int data = open(DataOf(installedPath).c_str(), O_RDWR);
  if (data < 0) return false;
  struct stat info {};
  fstat(data, &info);
  const uint32_t start = static_cast<uint32_t>(info.st_size);
  std::string appended;  // written at the end in one go
  const size_t count = (installed.size() - kHeader) / kInstalled;
  const size_t patches = (patch.size() - kHeader) / kPatch;
  bool written = true;
  for (size_t i = 0; i < patches; ++i) {
    const char* record = patch.data() + kHeader + i * kPatch;
    const uint32_t offset = Get32(record), length = Get32(record + 4), target = Get32(record + 20);
    if (offset > from.size() || length > from.size() - offset) return false;
    const char* bytes = from.data() + offset;
    const uint64_t size = start + appended.size();
    char fresh[kInstalled];
    // A later record for the same entry meets it as merged so far.
    char* into = target < count ? &installed[kHeader + target * kInstalled] : fresh;
    const uint32_t place = Get32(into);
    if (into != fresh && length <= Get32(into + 4) && uint64_t{place} + Get32(into + 4) <= size) {
      if (place >= start) {
        std::memcpy(&appended[place - start], bytes, length);
      } else {
        written = written && pwrite(data, bytes, length, place) == static_cast<ssize_t>(length);
      }
      SetRecord(into, record, place);
      continue;
    }
    SetRecord(into, record, static_cast<uint32_t>(size));
    if (into == fresh) installed.append(fresh, kInstalled);
    appended.append(bytes, length);
  }
  written = written && pwrite(data, appended.data(), appended.size(), start) ==
                           static_cast<ssize_t>(appended.size());
  return close(data) == 0 && written && WriteWhole(installedPath, installed);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: velmor_plain_merge index|data INSTALLED_I PACKAGE_I\n");
    return 2;
  }
  const std::string kind = argv[1];
  const bool merged = kind == "index"  ? MergeIndex(argv[2], argv[3])
                      : kind == "data" ? MergeData(argv[2], argv[3])
                                       : false;
  return merged ? 0 : 1;
}
