// Package extraction: the input unpacked as pkg.upd and as pkg.tre. Every
// file written lies below the package's directory, no link is made, and the
// progress climbs to 100.
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "launcher/packages/package_extraction.h"

namespace {

void Unpack(const uint8_t* data, size_t size, bool isTre) {
  fuzz::ResetScratch();
  const std::string package = isTre ? "pkg.tre" : "pkg.upd";
  fuzz::WriteBytes(fuzz::Scratch() + "/" + package, data, size);
  std::vector<float> progress;
  UnzipPackage(wxString::FromUTF8(fuzz::Scratch() + "/pkg"), isTre,
               [&](float percent) { progress.push_back(percent); });
  for (size_t i = 0; i < progress.size(); ++i) {
    FUZZ_CHECK(progress[i] > 0.0f && progress[i] <= 100.0f);
    FUZZ_CHECK(i == 0 || progress[i] >= progress[i - 1]);
  }
  if (!progress.empty()) FUZZ_CHECK(progress.back() == 100.0f);
  for (const std::string& file : fuzz::CheckScratchTree()) {
    FUZZ_CHECK(file == package || file.compare(0, 4, "pkg/") == 0);
    // No temporary file of the reader is left.
    FUZZ_CHECK(file.find(".part-" + std::to_string(getpid()) + "-") == std::string::npos);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Unpack(data, size, false);
  Unpack(data, size, true);
  return 0;
}
