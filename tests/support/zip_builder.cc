#include "tests/support/zip_builder.h"

#include <zip.h>

#include <utility>

namespace testing_support {

bool WriteZipArchive(const std::string& path, const std::vector<ZipEntrySpec>& entries) {
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

bool WriteDeflatedZip(const std::string& path, const std::map<std::string, std::string>& files) {
  std::vector<ZipEntrySpec> entries;
  entries.reserve(files.size());
  for (const auto& [name, contents] : files) {
    ZipEntrySpec entry;
    entry.name = name;
    entry.contents = contents;
    entries.push_back(std::move(entry));
  }
  return WriteZipArchive(path, entries);
}

ZipEntrySpec UnixEntry(const std::string& name, const std::string& contents, uint32_t mode) {
  ZipEntrySpec entry;
  entry.name = name;
  entry.contents = contents;
  entry.madeBy = 3;
  entry.externalAttributes = mode << 16;
  return entry;
}

std::vector<size_t> FindSignatures(const std::string& bytes, const char* signature) {
  std::vector<size_t> found;
  for (size_t at = bytes.find(signature, 0, 4); at != std::string::npos;
       at = bytes.find(signature, at + 1, 4)) {
    found.push_back(at);
  }
  return found;
}

}  // namespace testing_support
