#include "launcher/program_directory.h"

#include <unistd.h>

#include <cstdio>

#include "platform/desktop.h"

namespace {

const char kErrorCaption[] = "错误";
const char kNotUtf8Text[] =
    "启动器所在目录的路径含有无法识别的字符（不是 UTF-8 编码），启动器无法启动。"
    "请把游戏目录改为只含有效字符的名称后再启动。";
const char kNotEnterableText[] = "无法进入启动器所在的目录，启动器无法启动。请检查该目录的权限。";

bool IsValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    unsigned minimum = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, minimum = 0x10000;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    unsigned code = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

bool Refuse(const char* text, const std::string& directory) {
  std::fprintf(stderr, "launcher: %s (%s)\n", text, directory.c_str());
  platform::CurrentDesktop().ShowMessageBox(text, kErrorCaption, platform::MessageBoxButtons::Ok);
  return false;
}

}  // namespace

bool EnterProgramDirectory(const std::string& directory) {
  if (!IsValidUtf8(directory)) return Refuse(kNotUtf8Text, directory);
  if (chdir(directory.c_str()) != 0) return Refuse(kNotEnterableText, directory);
  return true;
}
