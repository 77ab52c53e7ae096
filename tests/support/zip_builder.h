// Builds real zip archives for the launcher's package tests, with control
// over what update packages may carry: stored names as raw bytes, the system
// that made the entry, external attributes, DOS times and local extra
// fields. Header-only: it needs minizip, which the launcher library brings.
#pragma once

#include <zip.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct ZipEntrySpec {
  std::string name;  // stored as given (bytes)
  std::string contents;
  bool deflate = true;
  unsigned madeBy = 0;  // high byte of "version made by": 0 = MS-DOS, 3 = Unix
  uint32_t externalAttributes = 0;
  uint32_t dosDateTime = 0x52A36000;  // 2021-05-03 12:00:00
  std::string localExtra;
};

// Writes the entries in order; true when the archive was written.
inline bool WriteZipArchive(const std::string& path, const std::vector<ZipEntrySpec>& entries) {
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (!zip) return false;
  bool ok = true;
  for (const ZipEntrySpec& entry : entries) {
    zip_fileinfo info = {};
    info.dosDate = entry.dosDateTime;
    info.external_fa = entry.externalAttributes;
    ok = ok && zipOpenNewFileInZip4(zip, entry.name.c_str(), &info,
                                    entry.localExtra.empty() ? nullptr : entry.localExtra.data(),
                                    static_cast<uInt>(entry.localExtra.size()), nullptr, 0, nullptr,
                                    entry.deflate ? Z_DEFLATED : 0,
                                    entry.deflate ? Z_DEFAULT_COMPRESSION : 0, 0, -MAX_WBITS,
                                    DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                    (entry.madeBy << 8) | 20, 0) == ZIP_OK;
    ok = ok && (entry.contents.empty() ||
                zipWriteInFileInZip(zip, entry.contents.data(),
                                    static_cast<unsigned>(entry.contents.size())) == ZIP_OK);
    ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
  }
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}

// An entry made on Unix with the mode `mode` (e.g. 0100644 for a file).
inline ZipEntrySpec UnixEntry(const std::string& name, const std::string& contents, uint32_t mode) {
  ZipEntrySpec entry;
  entry.name = name;
  entry.contents = contents;
  entry.madeBy = 3;
  entry.externalAttributes = mode << 16;
  return entry;
}

// The offsets of the local headers ("PK\3\4") and central records
// ("PK\1\2") in an archive's bytes, in order.
inline std::vector<size_t> FindSignatures(const std::string& bytes, const char* signature) {
  std::vector<size_t> found;
  for (size_t at = bytes.find(signature, 0, 4); at != std::string::npos;
       at = bytes.find(signature, at + 1, 4)) {
    found.push_back(at);
  }
  return found;
}

}  // namespace testing_support
