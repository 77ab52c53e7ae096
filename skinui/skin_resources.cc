// Reading skin files from the resource archive or the resource directory.
#include <sys/stat.h>
#include <unzip.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <unordered_map>

#include "skinui/dialog_builder.h"
#include "skinui/paint_manager.h"

namespace skinui {
namespace {

constexpr unsigned long kMaxSkinSize = 16ul * 1024ul * 1024ul;

std::string Normalized(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  while (name.rfind("./", 0) == 0) name.erase(0, 2);
  return name;
}

std::string CaseFolded(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// The resource archive held in memory, with where each name's first entry
// stands: start-up looks up a dozen skins and images by name, and each
// lookup would otherwise open the file, read its directory and walk its
// entries again. Kept while the file's identity, size and time stay.
struct ArchiveImage {
  std::string path;
  struct stat identity {};
  std::string bytes;
  std::unordered_map<std::string, unz64_file_pos> firstEntry;  // case-folded name
};

constexpr off_t kMostHeldArchive = off_t{64} << 20;

struct MemoryStream {
  const std::string* bytes = nullptr;
  uint64_t position = 0;
};

MemoryStream* Stream(voidpf stream) { return static_cast<MemoryStream*>(stream); }

voidpf ZCALLBACK OpenMemory(voidpf opaque, const void*, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  return new MemoryStream{static_cast<const std::string*>(opaque), 0};
}

uLong ZCALLBACK ReadMemory(voidpf, voidpf stream, void* buffer, uLong size) {
  MemoryStream& in = *Stream(stream);
  const uint64_t length = in.bytes->size();
  if (in.position >= length) return 0;
  const uLong part = static_cast<uLong>(std::min<uint64_t>(size, length - in.position));
  std::memcpy(buffer, in.bytes->data() + in.position, part);
  in.position += part;
  return part;
}

uLong ZCALLBACK WriteMemory(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellMemory(voidpf, voidpf stream) { return Stream(stream)->position; }

long ZCALLBACK SeekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  MemoryStream& in = *Stream(stream);
  uint64_t from = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
    from = in.position;
  } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
    from = in.bytes->size();
  } else if (origin != ZLIB_FILEFUNC_SEEK_SET) {
    return -1;
  }
  if (offset > UINT64_MAX - from) return -1;
  in.position = from + offset;
  return 0;
}

int ZCALLBACK CloseMemory(voidpf, voidpf stream) {
  delete Stream(stream);
  return 0;
}

int ZCALLBACK MemoryError(voidpf, voidpf) { return 0; }

unzFile OpenHeldArchive(const ArchiveImage& image) {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = OpenMemory;
  functions.zread_file = ReadMemory;
  functions.zwrite_file = WriteMemory;
  functions.ztell64_file = TellMemory;
  functions.zseek64_file = SeekMemory;
  functions.zclose_file = CloseMemory;
  functions.zerror_file = MemoryError;
  functions.opaque = const_cast<std::string*>(&image.bytes);
  return unzOpen2_64("", &functions);
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Reads the archive at `path` into `image`; false when it cannot be held.
bool HoldArchive(const std::string& path, const struct stat& identity, ArchiveImage& image) {
  image = ArchiveImage();
  if (!S_ISREG(identity.st_mode) || identity.st_size > kMostHeldArchive) return false;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad() || static_cast<off_t>(bytes.size()) != identity.st_size) return false;
  image.bytes = std::move(bytes);
  unzFile zip = OpenHeldArchive(image);
  if (!zip) return false;
  for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
    char entryName[1024];
    unz_file_info64 info;
    unz64_file_pos position{};
    if (unzGetCurrentFileInfo64(zip, &info, entryName, sizeof(entryName), nullptr, 0, nullptr, 0) !=
            UNZ_OK ||
        unzGetFilePos64(zip, &position) != UNZ_OK) {
      break;
    }
    // minizip leaves a name that fills the buffer unterminated; no skin has
    // such a name.
    if (info.size_filename >= sizeof(entryName)) continue;
    image.firstEntry.emplace(CaseFolded(Normalized(entryName)), position);
  }
  unzClose(zip);
  image.path = path;
  image.identity = identity;
  return true;
}

// The entry minizip stands on, whole; false when it is too large or damaged.
bool ReadCurrentEntry(unzFile zip, std::string* contents) {
  unz_file_info64 info;
  if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
    return false;
  }
  if (info.uncompressed_size > kMaxSkinSize) return false;
  if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
  std::string data;
  char buffer[16384];
  bool ok = true;
  for (;;) {
    const int read = unzReadCurrentFile(zip, buffer, sizeof(buffer));
    if (read < 0) {
      ok = false;
      break;
    }
    if (read == 0) break;
    data.append(buffer, static_cast<size_t>(read));
    if (data.size() > kMaxSkinSize) {
      ok = false;
      break;
    }
  }
  // Closing checks the CRC of what was read.
  if (unzCloseCurrentFile(zip) != UNZ_OK) ok = false;
  if (ok) *contents = std::move(data);
  return ok;
}

bool ReadZipEntry(const std::string& archive, const std::string& name, std::string* contents) {
  static std::mutex mutex;
  static ArchiveImage image;
  std::lock_guard<std::mutex> lock(mutex);
  struct stat identity {};
  if (stat(archive.c_str(), &identity) != 0) return false;
  if (image.path != archive || !SameFile(image.identity, identity)) {
    if (!HoldArchive(archive, identity, image)) return false;
  }
  const auto found = image.firstEntry.find(CaseFolded(Normalized(name)));
  if (found == image.firstEntry.end()) return false;
  unzFile zip = OpenHeldArchive(image);
  if (!zip) return false;
  unz64_file_pos position = found->second;
  const bool read = unzGoToFilePos64(zip, &position) == UNZ_OK && ReadCurrentEntry(zip, contents);
  unzClose(zip);
  return read;
}

bool ReadPlainFile(const std::string& path, std::string* contents) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::string data;
  char buffer[16384];
  while (file.read(buffer, sizeof(buffer)) || file.gcount() > 0) {
    data.append(buffer, static_cast<size_t>(file.gcount()));
    if (data.size() > kMaxSkinSize) return false;
  }
  *contents = std::move(data);
  return true;
}

}  // namespace

bool ReadSkinResource(const std::string& name, std::string* contents) {
  if (!contents || name.empty()) return false;
  const std::string path = CPaintManagerUI::GetResourcePath();
  const std::string zip = CPaintManagerUI::GetResourceZip();
  if (!zip.empty()) return ReadZipEntry(path + zip, name, contents);
  return ReadPlainFile(path + Normalized(name), contents);
}

}  // namespace skinui
