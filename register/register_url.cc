#include "register/register_url.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "launcher/config/scrambled_file.h"
#include "platform/file_descriptor.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/stdio_file.h"

namespace register_window {
namespace {

// A file written on Windows unscrambles with its line ends doubled into
// CR CR LF: trailing blanks and CRs are no part of an address.
std::string ReadUrl(const std::string& iniPath) {
  std::string url = platform::ReadIniString(iniPath, "Web", "RegisterUrl", kDefaultRegisterUrl);
  while (!url.empty() && (url.back() == '\r' || url.back() == ' ' || url.back() == '\t'))
    url.pop_back();
  return url;
}

// The plain text of a scrambled web.ini goes to a file of our own in the
// system's temporary directory: the program directory may be read-only,
// and the launcher's own web.ini.tmp is none of our business.
std::string ReadScrambled(const std::string& path) {
  std::error_code error;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
  if (error) return kDefaultRegisterUrl;
  std::string plainPath = (temp / "velmor-register-XXXXXX").string();
  // Made only to take the name; the unscrambling writes it.
  if (!platform::FileDescriptor(mkstemp(plainPath.data())).ok()) return kDefaultRegisterUrl;
  std::string url = kDefaultRegisterUrl;
  platform::StdioFile source = platform::OpenStdioFile(path.c_str(), "rb");
  if (source && UnscrambleStream(plainPath, std::move(source), kConfigCipherKey.utf8_string())) {
    url = ReadUrl(plainPath);
  }
  unlink(plainPath.c_str());
  return url;
}

}  // namespace

std::string ReadRegisterUrl(const std::string& programDir) {
  const std::string path = programDir + "web.ini";
  if (!platform::FileExists(path)) return kDefaultRegisterUrl;
  return platform::IniFileHasSection(path) ? ReadUrl(path) : ReadScrambled(path);
}

}  // namespace register_window
