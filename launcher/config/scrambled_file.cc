#include "launcher/config/scrambled_file.h"

#include <algorithm>
#include <utility>

#include "launcher/system/instance_path.h"
#include "platform/fresh_file.h"

const wxString kConfigCipherKey = "QoTarK583027dex4461";

namespace {

constexpr size_t kKeyCycle = 8;

}  // namespace

bool UnscrambleFile(const wxString& targetName, const wxString& sourceName, const wxString& key) {
  const wxString directory = InstancePath();
  const std::string targetPath = (directory + targetName).utf8_string();
  const std::string sourcePath = (directory + sourceName).utf8_string();
  // Opened for update although only read: a read-only scrambled file is
  // refused, as it always has been.
  platform::StdioFile source = platform::OpenStdioFile(sourcePath.c_str(), "rb+");
  if (!source) return false;
  // Converted from a private copy: wxString caches conversions inside the
  // object, and the shared key is read on more than one thread.
  return UnscrambleStream(targetPath, std::move(source), wxString(key.wc_str()).utf8_string());
}

bool UnscrambleStream(const std::string& targetPath, platform::StdioFile source,
                      const std::string& keyBytes) {
  // The plain copy has a fixed name beside its source: a link planted
  // there is replaced, never written through.
  platform::StdioFile target = platform::StdioFileOver(
      platform::FileDescriptor(platform::OpenReplacingLinks(targetPath.c_str(), false)), "wb");
  if (!target) return false;
  // The key as a C string in a zero-filled buffer: bytes past its end are 0.
  const size_t keyLength = std::min(keyBytes.find('\0'), keyBytes.size());
  unsigned char key[kKeyCycle] = {};
  for (size_t i = 0; i < kKeyCycle && i < keyLength; ++i)
    key[i] = static_cast<unsigned char>(keyBytes[i]);

  // The index starts at the key's length and wraps only once it is past the
  // cycle, as the files were written: a key of 8 or more characters starts
  // at its first character, a shorter one with zero bytes up to index 7.
  size_t index = keyLength;
  int stored;
  while ((stored = std::fgetc(source.get())) != EOF) {
    if (index >= kKeyCycle) index = 0;
    const auto plain = static_cast<unsigned char>(stored - key[index]);
    ++index;
    if (plain == 0x0A) std::fputc(0x0D, target.get());  // text-mode line end
    std::fputc(plain, target.get());
  }
  return std::ferror(source.get()) == 0;
}
