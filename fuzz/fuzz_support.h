// What every fuzz target shares: a scratch directory of its own, emptied
// before each input, with checks that nothing escaped it, and small file
// helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A failed check ends the run the way a crash does, so that the fuzzer keeps
// the input.
#define FUZZ_CHECK(condition)                                            \
  do {                                                                   \
    if (!(condition)) fuzz::CheckFailed(#condition, __FILE__, __LINE__); \
  } while (0)

namespace fuzz {

[[noreturn]] void CheckFailed(const char* condition, const char* file, int line);

// The scratch directory (real path, no trailing separator). It is the only
// thing inside its parent, and the process works inside it.
const std::string& Scratch();

// Empties the scratch directory and makes it the current directory again.
void ResetScratch();

// Checks the tree after an input: no symbolic link anywhere in the scratch
// directory, nothing beside it in its parent. Returns every regular file
// inside, relative to the scratch directory.
std::vector<std::string> CheckScratchTree();

// Whether `path` names a place inside the scratch directory: no ".."
// component, and its nearest existing ancestor resolves inside.
bool InsideScratch(const std::string& path);

void WriteBytes(const std::string& path, const uint8_t* data, size_t size);
void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

// The bytes of `data` cut at each of the first `parts - 1` occurrences of
// `separator`; missing parts are empty.
std::vector<std::string> Split(const uint8_t* data, size_t size, char separator, size_t parts);

}  // namespace fuzz
