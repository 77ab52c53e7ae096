#include "launcher/config/settings_file.h"

#include <sys/stat.h>
#include <wx/mstream.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>

#include "launcher/system/file_replace.h"
#include "platform/error.h"
#include "platform/files.h"

namespace {

// Editors on Windows like to put one in front of the first section, which
// the parser would then take for part of the section's name.
const char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

// No file at `path`, nor anything a link there would lead to.
bool NothingAt(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) != 0 && errno == ENOENT;
}

}  // namespace

const wxMBConvUTF8& SettingsTextConverter() {
  static const wxMBConvUTF8 converter(wxMBConvUTF8::MAP_INVALID_UTF8_TO_PUA);
  return converter;
}

std::unique_ptr<wxFileConfig> ReadSettingsFile(const wxString& path) {
  // A directory opens as a stream on Linux but is no settings file.
  const std::string nativePath = path.utf8_string();
  if (!platform::FileExists(nativePath)) return nullptr;
  std::ifstream file(nativePath, std::ios::binary);
  if (!file) return nullptr;
  std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) return nullptr;
  if (text.compare(0, 3, kUtf8ByteOrderMark) == 0) text.erase(0, 3);
  // Built from a stream, not a file name, so destroying it writes nothing:
  // WriteSettingsFile is the only write.
  wxMemoryInputStream input(text.data(), text.size());
  return std::make_unique<wxFileConfig>(input, SettingsTextConverter());
}

wxString WhySettingsFileUnreadable(const wxString& path) {
  const std::string nativePath = path.utf8_string();
  struct stat info {};
  int error = 0;
  if (stat(nativePath.c_str(), &info) != 0) {
    error = errno;
  } else if (!S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
  } else if (std::ifstream file(nativePath, std::ios::binary); !file) {
    error = errno;
  }
  if (error == 0) return path + " cannot be read";
  return wxString::FromUTF8(platform::Error::FromErrno(nativePath, error).message);
}

std::unique_ptr<wxFileConfig> ReadSettingsFileForSave(const wxString& path) {
  if (NothingAt(path.utf8_string())) {
    wxMemoryInputStream empty(nullptr, 0);
    return std::make_unique<wxFileConfig>(empty, SettingsTextConverter());
  }
  return ReadSettingsFile(path);
}

bool WriteSettingsFile(wxFileConfig& config, const wxString& path) {
  const std::string nativePath = path.utf8_string();
  if (!platform::FileExists(nativePath) && !NothingAt(nativePath)) return false;
  // The whole text first, then one replace: a full disk or a crash leaves
  // the old file whole, never an empty or cut one.
  wxMemoryOutputStream output;
  if (!config.Save(output, SettingsTextConverter())) return false;
  const wxStreamBuffer* buffer = output.GetOutputStreamBuffer();
  const std::string text(static_cast<const char*>(buffer->GetBufferStart()), output.GetSize());
  // Saving what the file already holds (as every start does with orvo.ini)
  // leaves it alone: a replace flushes the file and its directory to disk.
  std::ifstream current(path.utf8_string(), std::ios::binary);
  if (current) {
    const std::string held{std::istreambuf_iterator<char>(current),
                           std::istreambuf_iterator<char>()};
    if (!current.bad() && held == text) return true;
  }
  return WriteFileReplacing(path, text);
}
