// Writes small zip archives for the UI layer's tests.
#pragma once

#include <zip.h>

#include <map>
#include <string>

namespace skinui_test {

// Entries are stored deflated; true when the archive was written.
inline bool WriteZip(const std::string& path, const std::map<std::string, std::string>& entries) {
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (!zip) return false;
  bool ok = true;
  for (const auto& [name, contents] : entries) {
    zip_fileinfo info = {};
    ok = ok && zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                     Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0) == ZIP_OK;
    ok = ok && zipWriteInFileInZip(zip, contents.data(), static_cast<unsigned>(contents.size())) ==
                   ZIP_OK;
    ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
  }
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}

}  // namespace skinui_test
