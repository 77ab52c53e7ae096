// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes away.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory with a trailing separator, ready to append a file name.
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// Whole-file helpers for fixtures.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);  // "" when missing
bool PathExists(const std::string& path);
// The relative paths below `dir` whose names end in `suffix` (sorted).
std::vector<std::string> NamesEndingIn(const std::string& dir, const std::string& suffix);

}  // namespace testing_support
