#include "platform/name_in_any_case.h"

#include <dirent.h>
#include <sys/stat.h>

namespace platform {
namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return i == a.size() && b[i] == '\0';
}

}  // namespace

std::string NameInAnyCase(const std::string& directory, const std::string& name) {
  struct stat info {};
  if (name.empty() || lstat((directory + name).c_str(), &info) == 0) return name;
  DIR* listing = opendir(directory.empty() ? "." : directory.c_str());
  if (listing == nullptr) return name;
  std::string found;
  while (const dirent* entry = readdir(listing)) {
    if (SameIgnoringCase(name, entry->d_name) && (found.empty() || found > entry->d_name))
      found = entry->d_name;
  }
  closedir(listing);
  return found.empty() ? name : found;
}

}  // namespace platform
