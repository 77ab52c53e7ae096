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

std::string PathInAnyCase(const std::string& directory, const std::string& relative) {
  std::string found;  // the parts found so far, each followed by a separator
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    const std::string part = relative.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    found += NameInAnyCase(directory + found, part) + '/';
  }
  if (!found.empty()) found.pop_back();
  return found;
}

}  // namespace platform
