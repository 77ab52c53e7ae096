#include "launcher/scrambled_file.h"

#include "launcher/instance_path.h"

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
  std::FILE* source = std::fopen(sourcePath.c_str(), "rb+");
  if (source == nullptr) return false;
  return UnscrambleStream(targetPath, source, key.utf8_string());
}

bool UnscrambleStream(const std::string& targetPath, std::FILE* source, const std::string& keyBytes) {
  std::FILE* target = std::fopen(targetPath.c_str(), "wb");
  if (target == nullptr) {
    std::fclose(source);
    return false;
  }
  unsigned char key[kKeyCycle] = {};
  for (size_t i = 0; i < kKeyCycle && i < keyBytes.size(); ++i)
    key[i] = static_cast<unsigned char>(keyBytes[i]);

  size_t index = 0;
  int stored;
  while ((stored = std::fgetc(source)) != EOF) {
    const auto plain = static_cast<unsigned char>(stored - key[index]);
    index = (index + 1) % kKeyCycle;
    if (plain == 0x0A) std::fputc(0x0D, target);  // text-mode line end
    std::fputc(plain, target);
  }
  const bool readFailed = std::ferror(source) != 0;
  std::fclose(source);
  std::fclose(target);
  return !readFailed;
}
