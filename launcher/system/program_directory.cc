#include "launcher/system/program_directory.h"

#include <unistd.h>

#include <cstdio>

#include "platform/desktop.h"

namespace {

const char kErrorCaption[] = "错误";
const char kNotEnterableText[] = "无法进入启动器所在的目录，启动器无法启动。请检查该目录的权限。";
const char kOwnDirectory[] = "./";

}  // namespace

std::optional<wxString> EnterProgramDirectory(const std::string& directory) {
  if (chdir(directory.c_str()) != 0) {
    std::fprintf(stderr, "launcher: %s (%s)\n", kNotEnterableText, directory.c_str());
    platform::CurrentDesktop().ShowMessageBox(kNotEnterableText, kErrorCaption,
                                              platform::MessageBoxButtons::Ok);
    return std::nullopt;
  }
  // FromUTF8 gives nothing for bytes that are not valid UTF-8.
  const wxString text = wxString::FromUTF8(directory.data(), directory.size());
  if (text.empty() && !directory.empty()) return wxString(kOwnDirectory);
  return text;
}
