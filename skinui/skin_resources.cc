// Reading skin files from the resource archive or the resource directory.
#include <strings.h>
#include <unzip.h>

#include <algorithm>
#include <fstream>
#include <string>

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

bool ReadZipEntry(const std::string& archive, const std::string& name, std::string* contents) {
  unzFile zip = unzOpen64(archive.c_str());
  if (!zip) return false;
  const std::string wanted = Normalized(name);
  bool found = false;
  for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
    char entryName[1024];
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, entryName, sizeof(entryName), nullptr, 0, nullptr, 0) !=
        UNZ_OK) {
      break;
    }
    // minizip leaves a name that fills the buffer unterminated; no skin has
    // such a name.
    if (info.size_filename >= sizeof(entryName)) continue;
    if (strcasecmp(Normalized(entryName).c_str(), wanted.c_str()) != 0) continue;
    if (info.uncompressed_size > kMaxSkinSize) break;
    if (unzOpenCurrentFile(zip) != UNZ_OK) break;
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
    if (ok) {
      *contents = std::move(data);
      found = true;
    }
    break;
  }
  unzClose(zip);
  return found;
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
