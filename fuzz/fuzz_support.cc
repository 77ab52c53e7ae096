#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace fuzz {
namespace {

struct ScratchDirs {
  std::string parent;
  std::string scratch;
};

// Never freed: the clean-up at exit still needs it.
const ScratchDirs& Dirs() {
  static const ScratchDirs* const dirs = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/velmor-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) CheckFailed("mkdtemp", __FILE__, __LINE__);
    auto* made = new ScratchDirs;
    made->parent = fs::canonical(pattern).string();
    made->scratch = made->parent + "/work";
    fs::create_directory(made->scratch);
    // Removed again when the process ends normally; a crash leaves it for
    // a look at what the input made.
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(Dirs().parent, ignored);
    });
    return made;
  }();
  return *dirs;
}

bool IsWithin(const fs::path& path, const fs::path& root) {
  auto p = path.begin();
  for (auto r = root.begin(); r != root.end(); ++r, ++p) {
    if (p == path.end() || *p != *r) return false;
  }
  return true;
}

}  // namespace

void CheckFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", condition, file, line);
  std::fflush(stderr);
  std::abort();
}

const std::string& Scratch() { return Dirs().scratch; }

void ResetScratch() {
  const std::string& scratch = Scratch();
  // Read-only files and directories an input made must not stop the
  // clean-up: give the owner every right back first.
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(scratch, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (!it->is_symlink()) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
  }
  for (const auto& entry : fs::directory_iterator(scratch)) fs::remove_all(entry.path());
  FUZZ_CHECK(chdir(scratch.c_str()) == 0);
}

std::vector<std::string> CheckScratchTree() {
  const std::string& scratch = Scratch();
  for (const auto& entry : fs::directory_iterator(Dirs().parent)) {
    FUZZ_CHECK(entry.path() == scratch);  // nothing was written beside it
  }
  std::vector<std::string> files;
  for (auto it = fs::recursive_directory_iterator(scratch);
       it != fs::recursive_directory_iterator(); ++it) {
    FUZZ_CHECK(!it->is_symlink());
    if (it->is_regular_file()) files.push_back(fs::relative(it->path(), scratch).string());
  }
  return files;
}

bool InsideScratch(const std::string& path) {
  fs::path candidate = fs::path(path);
  if (candidate.is_relative()) candidate = fs::current_path() / candidate;
  for (const auto& part : candidate) {
    if (part == "..") return false;
  }
  // The nearest ancestor that exists, resolved through any links.
  fs::path existing = candidate;
  while (!existing.empty() && !fs::exists(existing)) existing = existing.parent_path();
  std::error_code error;
  const fs::path resolved = fs::canonical(existing, error);
  if (error) return false;
  return IsWithin(resolved, Scratch()) && IsWithin(candidate.lexically_normal(), Scratch());
}

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  FUZZ_CHECK(out.good());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  WriteBytes(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Split(const uint8_t* data, size_t size, char separator, size_t parts) {
  std::vector<std::string> result;
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (result.size() + 1 < parts) {
    const size_t at = text.find(separator, start);
    if (at == std::string::npos) break;
    result.push_back(text.substr(start, at - start));
    start = at + 1;
  }
  result.push_back(start <= text.size() ? text.substr(start) : std::string());
  result.resize(parts);
  return result;
}

}  // namespace fuzz
