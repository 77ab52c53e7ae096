// The whole update road as the update thread runs it, against the loopback
// server: version check, then one apply that downloads the package, checks
// its MD5, unpacks it, installs it over an earlier installation and records
// the version reached in version.ini.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <mutex>

#include "bench/bench_paths.h"
#include "launcher/config/version_config.h"
#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/system/instance_path.h"
#include "launcher/system/run_log.h"
#include "launcher/update/live_patch_holder.h"
#include "launcher/update/version_check.h"

namespace velmor_bench {
namespace {

namespace fs = std::filesystem;

wxString W(const std::string& path) { return wxString::FromUTF8(path); }

// A fresh program directory: the update library, version.ini at 1.0 and the
// package's files from an earlier installation.
bool PrepareProgramDir(const std::string& program) {
  RemoveTree(program);
  if (!MakeEmptyCopy(WorkPath("pkg/p"), program)) return false;
  std::error_code error;
  for (const char* library : {"libTidewell.so", "libvelmor_platform.so"}) {
    fs::copy_file(std::string(VELMOR_BENCH_PROGRAM_DIR) + library, program + library, error);
    if (error) return false;
  }
  std::ofstream(program + "version.ini") << "[Version]\nVersion=1.0\nLVersion=1.0\n";
  return VersionConfig().Load(W(program + "version.ini"));
}

bool RunUpdate() {
  if (!CheckVersion()) return false;
  LivePatchHolder& holder = TheLivePatchHolder();
  std::lock_guard<std::recursive_mutex> lock(holder.mutex);
  wxString game, launcher;
  {
    auto lock = VersionConfig().Lock();
    game = VersionConfig().Version.Clone();
    launcher = VersionConfig().LVersion.Clone();
  }
  return holder.ApplyPatches(game, launcher);
}

void BM_WholeUpdate(benchmark::State& state) {
  if (!HaveWorkDir(state)) return;
  const std::string program = RunPath("road") + "/";
  LauncherFrameWnd frame;
  frame.programDir = W(program);
  frame.updateVersionUrl1 = W(BaseUrl() + "/road/manifest.xml");
  for (auto _ : state) {
    state.PauseTiming();
    if (!PrepareProgramDir(program)) state.SkipWithError("program directory not made");
    SetInstancePath(frame.programDir);
    OpenRunLog(frame.logTarget);
    state.ResumeTiming();
    const bool updated = RunUpdate();
    state.PauseTiming();
    ReleaseLivePatch();
    CloseRunLog(frame.logTarget);
    if (!updated || ReadText(program + "version.ini").find("Version=1.1") == std::string::npos)
      state.SkipWithError("update failed");
    state.ResumeTiming();
  }
  state.counters["peak_rss_mib"] = PeakRssMib();
}
BENCHMARK(BM_WholeUpdate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace velmor_bench
