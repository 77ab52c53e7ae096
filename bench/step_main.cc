// One step of the update road as a process of its own, so that bench/run.sh
// times it from outside exactly as it times the command-line tool it is
// compared with: start, work, exit. Everything a step reads is prepared
// beforehand by the script; the step does nothing else.
//
//   velmor_step download URL PATH
//   velmor_step md5 FILE HASH
//   velmor_step unzip STEM                      (unpacks STEM.upd into STEM/)
//   velmor_step install PACKAGE_DIR PROGRAM_DIR
//   velmor_step update PROGRAM_DIR MANIFEST_URL (version check and apply)
//   velmor_step merge-index INSTALLED_I PACKAGE_I
//   velmor_step merge-data INSTALLED_I PACKAGE_I  (a data file beside each)
//   velmor_step refuse FILE...                  (each unpacked as a package)
//
// Exit status 0 when the step did its work; "refuse" prints the slowest
// input's milliseconds.
#include <curl/curl.h>
#include <wx/file.h>
#include <wx/init.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>

#include "download/download_file.h"
#include "launcher/config/version_config.h"
#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/packages/index_merge.h"
#include "launcher/packages/installation.h"
#include "launcher/packages/package_extraction.h"
#include "launcher/system/instance_path.h"
#include "launcher/system/mini_dumper.h"
#include "launcher/system/run_log.h"
#include "launcher/update/live_patch_holder.h"
#include "launcher/update/version_check.h"
#include "tidewell/md5_file.h"

namespace {

namespace fs = std::filesystem;

wxString W(const std::string& text) { return wxString::FromUTF8(text); }

bool Download(const std::string& url, const std::string& path) {
  CURL* handle = curl_easy_init();
  const bool done = handle && DownloadFile(handle, W(url), W(path), 1, nullptr);
  curl_easy_cleanup(handle);
  return done;
}

bool Md5(const std::string& path, const std::string& hash) {
  wxFile file(W(path), wxFile::read);
  return tidewell::VerifyFileMd5(file, W(hash));
}

bool Install(const std::string& package, const std::string& program) {
  const wxString programDir = W(program + "/");
  RunLogHandle log{nullptr};
  const uint32_t totalBytes = 0;
  uint32_t doneBytes = 0;
  const InstallTarget target{programDir, log, totalBytes, doneBytes};
  SetInstancePath(programDir);
  OpenRunLog(log);
  const bool installed = InstallUpdateFiles(target, W(package), W(package), false, nullptr);
  CloseRunLog(log);
  return installed;
}

// As the update thread runs it: version check, then one apply that
// downloads, checks, unpacks and installs the package and records the
// version reached.
bool Update(const std::string& program, const std::string& manifestUrl) {
  LauncherFrameWnd frame;
  frame.programDir = W(program + "/");
  frame.updateVersionUrl1 = W(manifestUrl);
  if (!VersionConfig().Load(frame.programDir + "version.ini")) return false;
  SetInstancePath(frame.programDir);
  OpenRunLog(frame.logTarget);
  bool updated = CheckVersion();
  if (updated) {
    LivePatchHolder& holder = TheLivePatchHolder();
    std::lock_guard<std::recursive_mutex> lock(holder.mutex);
    wxString game, launcher;
    {
      auto versions = VersionConfig().Lock();
      game = VersionConfig().Version.Clone();
      launcher = VersionConfig().LVersion.Clone();
    }
    updated = holder.ApplyPatches(game, launcher);
  }
  ReleaseLivePatch();
  CloseRunLog(frame.logTarget);
  return updated;
}

bool MergeData(const std::string& installedIndex, const std::string& packageIndex) {
  RunLogHandle log{nullptr};
  return MergeLoginData(W(packageIndex), log, W(installedIndex));
}

// Each file unpacked as a package beside a scratch copy; the slowest time.
bool Refuse(int count, char** files) {
  const fs::path scratch =
      fs::temp_directory_path() / ("velmor-refuse-" + std::to_string(getpid()));
  double slowestMs = 0;
  for (int i = 0; i < count; ++i) {
    std::error_code error;
    fs::remove_all(scratch, error);
    fs::create_directories(scratch, error);
    fs::copy_file(files[i], scratch / "p.upd", error);
    if (error) return false;
    const auto start = std::chrono::steady_clock::now();
    UnzipPackage(W((scratch / "p").string()), false, nullptr);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (ms > slowestMs) slowestMs = ms;
  }
  std::error_code error;
  fs::remove_all(scratch, error);
  std::printf("%.3f\n", slowestMs);
  return true;
}

bool Run(int argc, char** argv) {
  const std::string step = argc > 1 ? argv[1] : "";
  auto arg = [&](int i) { return std::string(i < argc ? argv[i] : ""); };
  if (step == "download" && argc == 4) return Download(arg(2), arg(3));
  if (step == "md5" && argc == 4) return Md5(arg(2), arg(3));
  if (step == "unzip" && argc == 3) return UnzipPackage(W(arg(2)), false, nullptr);
  if (step == "install" && argc == 4) return Install(arg(2), arg(3));
  if (step == "update" && argc == 4) return Update(arg(2), arg(3));
  if (step == "merge-index" && argc == 4) return MergeIndexFile(W(arg(2)), W(arg(3)));
  if (step == "merge-data" && argc == 4) return MergeData(arg(2), arg(3));
  if (step == "refuse" && argc > 2) return Refuse(argc - 2, argv + 2);
  std::fprintf(stderr,
               "usage: velmor_step download|md5|unzip|install|update|merge-index|"
               "merge-data|refuse ARGS (see bench/step_main.cc)\n");
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // A crash must show as one, not end the run quietly with a dump.
  MiniDumper::SuppressInstallation(true);
  if (!wxInitialize()) return 1;
  curl_global_init(CURL_GLOBAL_ALL);
  const bool done = Run(argc, argv);
  curl_global_cleanup();
  wxUninitialize();
  return done ? 0 : 1;
}
