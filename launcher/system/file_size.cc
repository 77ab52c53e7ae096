#include "launcher/system/file_size.h"

#include <wx/filename.h>

#include <filesystem>
#include <system_error>

#include "launcher/system/run_log.h"

uint32_t QueryFileSize(const wxString& path, RunLogHandle& log) {
  if (!wxFileName::FileExists(path)) {
    RUNLOG_ERROR(log, 2302, "pathList.xml %s error in update server", path);
    return 1;
  }
  uint64_t bytes = wxFileName::GetSize(path).GetValue();
  bool readable = bytes != wxInvalidSize.GetValue();
  if (!readable) {
    // wxInvalidSize is the value 4294967295 itself: a file of exactly that
    // many bytes is told from a failure by asking the file system once more.
    std::error_code error;
    bytes = std::filesystem::file_size(path.utf8_string(), error);
    readable = !error;
  }
  if (!readable) {
    RUNLOG_ERROR(log, 2315,
                 "file %s read error,please check your update server config,eg pathList.xml and "
                 "file dir whether exsits!",
                 path);
    return 1;
  }
  constexpr uint64_t kMax = UINT32_MAX;
  return static_cast<uint32_t>(bytes >= kMax ? kMax : bytes);
}
