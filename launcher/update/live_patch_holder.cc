#include "launcher/update/live_patch_holder.h"

#include "launcher/frame/launcher_frame_wnd.h"
#include "platform/shared_library.h"

namespace {

constexpr char kLibraryName[] = "Tidewell.dll";
constexpr char kNoVersion[] = "0";

}  // namespace

LivePatchHolder& TheLivePatchHolder() {
  // Never destroyed: a worker ended with the process may still hold it.
  static LivePatchHolder* const holder = new LivePatchHolder;
  return *holder;
}

bool LivePatchHolder::LoadManifest(const wxString& url, const wxString& installedVersion) {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  if (!patch) return false;
  return patch->LoadManifest(url.wc_str(), installedVersion.wc_str());
}

wxString LivePatchHolder::GetCurrentVersion() {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  return patch ? patch->GetCurrentVersion() : wxString(kNoVersion);
}

wxString LivePatchHolder::GetPatchVersion() {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  return patch ? patch->GetPatchVersion() : wxString(kNoVersion);
}

wxString LivePatchHolder::GetLauncherVersion() {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  return patch ? patch->GetLauncherVersion() : wxString(kNoVersion);
}

bool LivePatchHolder::ApplyPatches(const wxString& installedVersion,
                                   const wxString& installedLauncherVersion) {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  if (!patch) return false;
  return patch->ApplyPatches(installedVersion, installedLauncherVersion);
}

wxString LivePatchHolder::FailureCause() {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  return patch ? patch->GetFailureCause() : wxString("no update library loaded");
}

void ReleaseHolder(LivePatchHolder& holder) {
  std::lock_guard<std::recursive_mutex> lock(holder.mutex);
  if (holder.patch) {
    holder.patch->ReleaseManifest();
    holder.patch = nullptr;
  }
  holder.module.Reset();
}

platform::Status LoadLivePatchFrom(LivePatchHolder& holder, const wxString& programDir) {
  std::lock_guard<std::recursive_mutex> lock(holder.mutex);
  ReleaseHolder(holder);
  const std::string path = programDir.utf8_string() + platform::SharedLibraryFileName(kLibraryName);
  auto library = platform::SharedLibrary::Load(path);
  if (!library) return library.error();
  holder.module = library.release();
  auto getLivePatch = holder.module.Symbol(kGetLivePatchSymbol);
  if (getLivePatch) holder.patch = reinterpret_cast<GetLivePatchFunction>(getLivePatch.value())();
  if (holder.patch) return platform::Status();
  ReleaseHolder(holder);
  if (!getLivePatch) return getLivePatch.error();
  return platform::Error{path + " gives no patch object"};
}

bool LoadLivePatch(LivePatchHolder& holder, const wxString& programDir) {
  return LoadLivePatchFrom(holder, programDir).ok();
}

void ReleaseLivePatch() {
  LauncherFrameWnd* frame = g_pFrame.load();
  if (!frame || !frame->livePatch) return;
  ReleaseHolder(*frame->livePatch);
  frame->livePatch = nullptr;
}
