#include "launcher/packages/installed_names.h"

#include <dirent.h>
#include <wx/string.h>

#include "launcher/system/run_log.h"

namespace {

std::string AsciiLower(std::string name) {
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

InstalledNames::Listing& InstalledNames::ListingOf(const std::string& directory) {
  auto found = listings_.find(directory);
  if (found != listings_.end()) return found->second;
  Listing& listing = listings_[directory];
  // A directory that cannot be listed holds nothing to match.
  if (DIR* dir = opendir(directory.empty() ? "." : directory.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") listing.emplace(AsciiLower(name), name);
    }
    closedir(dir);
  }
  return listing;
}

std::string InstalledNames::Find(const std::string& directory, const std::string& name) {
  const Listing& listing = ListingOf(directory);
  const auto [first, last] = listing.equal_range(AsciiLower(name));
  if (first == last) return name;
  std::string chosen;
  size_t matches = 0;
  bool exact = false;
  for (auto it = first; it != last; ++it, ++matches) {
    exact = exact || it->second == name;
    if (chosen.empty() || it->second < chosen) chosen = it->second;
  }
  if (exact) chosen = name;
  if (matches > 1 && logged_.insert(directory + first->first).second) {
    RUNLOG_MESSAGE(log_, 2208, "%s%s: installed names differ only in letter case, %s taken",
                   wxString::FromUTF8(directory), wxString::FromUTF8(name),
                   wxString::FromUTF8(chosen));
  }
  return chosen;
}

std::string InstalledNames::FindPath(const std::string& directory, const std::string& relative) {
  std::string path = directory;
  size_t start = 0;
  while (start < relative.size()) {
    size_t end = start;
    while (end < relative.size() && !IsSeparator(relative[end])) ++end;
    const std::string part = relative.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (!path.empty() && !IsSeparator(path.back())) path += '/';
    path += Find(path, part);
  }
  return path;
}

void InstalledNames::Added(const std::string& directory, const std::string& name) {
  Listing& listing = ListingOf(directory);
  const auto [first, last] = listing.equal_range(AsciiLower(name));
  for (auto it = first; it != last; ++it) {
    if (it->second == name) return;
  }
  listing.emplace(AsciiLower(name), name);
}

void InstalledNames::Removed(const std::string& directory, const std::string& name) {
  Listing& listing = ListingOf(directory);
  const auto [first, last] = listing.equal_range(AsciiLower(name));
  for (auto it = first; it != last; ++it) {
    if (it->second == name) {
      listing.erase(it);
      return;
    }
  }
}
