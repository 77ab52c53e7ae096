#include "launcher/system/file_size.h"

#include <sys/stat.h>
#include <wx/filename.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "launcher/system/run_log.h"
#include "platform/error.h"

namespace {

// Why no file is at `path`: the system's word on it, or what is there.
wxString NoFileAt(const wxString& path) {
  struct stat info {};
  const int error = stat(path.utf8_str(), &info) != 0 ? errno
                    : S_ISDIR(info.st_mode)           ? EISDIR
                                                      : EINVAL;
  return wxString::FromUTF8(platform::Error::FromErrno(path.utf8_string(), error).message);
}

}  // namespace

uint32_t QueryFileSize(const wxString& path, RunLogHandle& log) {
  if (!wxFileName::FileExists(path)) {
    RUNLOG_ERROR(log, 2302, "pathList.xml %s error in update server", path);
    RUNLOG_CAUSE(log, 2302, NoFileAt(path));
    return 1;
  }
  uint64_t bytes = wxFileName::GetSize(path).GetValue();
  bool readable = bytes != wxInvalidSize.GetValue();
  std::error_code error;
  if (!readable) {
    // wxInvalidSize is the value 4294967295 itself: a file of exactly that
    // many bytes is told from a failure by asking the file system once more.
    bytes = std::filesystem::file_size(path.utf8_string(), error);
    readable = !error;
  }
  if (!readable) {
    RUNLOG_ERROR(log, 2315,
                 "file %s read error,please check your update server config,eg pathList.xml and "
                 "file dir whether exsits!",
                 path);
    RUNLOG_CAUSE(log, 2315, path + ": " + wxString::FromUTF8(error.message()));
    return 1;
  }
  constexpr uint64_t kMax = UINT32_MAX;
  return static_cast<uint32_t>(bytes >= kMax ? kMax : bytes);
}
