// The update road's steps one at a time, each on the data bench/run.sh made:
// download, MD5 check, unpacking and installation.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <wx/file.h>

#include <filesystem>

#include "bench/bench_paths.h"
#include "download/download_file.h"
#include "launcher/packages/installation.h"
#include "launcher/packages/package_extraction.h"
#include "launcher/system/instance_path.h"
#include "launcher/system/run_log.h"
#include "tidewell/md5_file.h"

namespace velmor_bench {
namespace {

namespace fs = std::filesystem;

wxString W(const std::string& path) { return wxString::FromUTF8(path); }

void BM_DownloadFile(benchmark::State& state) {
  if (!HaveWorkDir(state)) return;
  const wxString url = W(BaseUrl() + "/big.bin");
  const std::string target = RunPath("download.bin");
  for (auto _ : state) {
    state.PauseTiming();
    RemoveTree(target);
    state.ResumeTiming();
    CURL* handle = curl_easy_init();
    const bool done = DownloadFile(handle, url, W(target), 1, nullptr);
    curl_easy_cleanup(handle);
    if (!done) state.SkipWithError("download failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(fs::file_size(target)));
}
BENCHMARK(BM_DownloadFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_VerifyFileMd5(benchmark::State& state) {
  if (!HaveWorkDir(state)) return;
  const std::string path = WorkPath("md5.bin");
  const wxString expected = W(ReadText(path + ".md5").substr(0, 32));
  for (auto _ : state) {
    wxFile file(W(path), wxFile::read);
    if (!tidewell::VerifyFileMd5(file, expected)) state.SkipWithError("digest differs");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(fs::file_size(path)));
}
BENCHMARK(BM_VerifyFileMd5)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_UnzipPackage(benchmark::State& state) {
  if (!HaveWorkDir(state)) return;
  const std::string stem = RunPath("unzip") + "/p";
  RemoveTree(RunPath("unzip"));
  fs::create_directories(RunPath("unzip"));
  std::error_code error;
  fs::create_hard_link(WorkPath("pkg/p.upd"), stem + ".upd", error);
  if (error) fs::copy_file(WorkPath("pkg/p.upd"), stem + ".upd");
  for (auto _ : state) {
    state.PauseTiming();
    RemoveTree(stem);
    state.ResumeTiming();
    if (!UnzipPackage(W(stem), false, nullptr)) state.SkipWithError("package not unpacked");
  }
}
BENCHMARK(BM_UnzipPackage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// Into an earlier installation of the same files (all empty), with the run
// log open as on the road. Package files that nothing else names (as
// unpacking leaves them) are linked into place, others copied: bench/run.sh
// stages the package both ways.
void BM_InstallUpdateFiles(benchmark::State& state) {
  if (!HaveWorkDir(state)) return;
  const std::string package = WorkPath("pkg/p");
  const std::string program = RunPath("install") + "/";
  const wxString programDir = W(program);
  RunLogHandle log{nullptr};
  uint32_t totalBytes = 0;
  uint32_t doneBytes = 0;
  const InstallTarget target{programDir, log, totalBytes, doneBytes};
  for (auto _ : state) {
    state.PauseTiming();
    RemoveTree(program);
    MakeEmptyCopy(package, program);
    SetInstancePath(programDir);
    OpenRunLog(log);
    state.ResumeTiming();
    if (!InstallUpdateFiles(target, W(package), W(package), false, nullptr))
      state.SkipWithError("installation failed");
    state.PauseTiming();
    CloseRunLog(log);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_InstallUpdateFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace velmor_bench
