// The launcher's hold on the update library Tidewell: the loaded library and
// the patch object it handed out. One holder for the whole process.
//
// Every use of the patch object goes through the holder's lock, and so does
// every release, so the library is never unloaded while a call is inside it
// (the release at process exit included). The lock is recursive because the
// library calls back into the launcher, which then asks the holder for the
// versions reached, on the same thread.
//
// Lock order: the holder's lock is the outermost of the process. The
// callbacks that run under it take VersionConfig's lock, the run log's and
// the UI thread's queue (posting their window changes); none of those is
// ever held when the holder's lock is taken. The UI thread takes it only at
// shut-down, once the workers are gone.
#pragma once

#include <wx/string.h>

#include <mutex>

#include "platform/error.h"
#include "platform/shared_library.h"
#include "tidewell/live_patch.h"

struct LivePatchHolder {
  platform::SharedLibrary module;  // empty when no library is loaded
  CLivePatch* patch = nullptr;     // owned by the library; null when none

  // False without a patch object; else the object's own LoadManifest.
  bool LoadManifest(const wxString& url, const wxString& installedVersion);

  // The patch object's versions; "0" without a patch object.
  wxString GetCurrentVersion();
  wxString GetPatchVersion();
  wxString GetLauncherVersion();

  // The patch object's ApplyPatches; false without a patch object.
  bool ApplyPatches(const wxString& installedVersion, const wxString& installedLauncherVersion);

  // Why the patch object's last operation failed, as the library tells it;
  // "no update library loaded" without a patch object.
  wxString FailureCause();

  // Taken by every operation above, by LoadLivePatch and by the releases.
  std::recursive_mutex mutex;
};

// The process's holder, created empty on first use. Shut-down releases it:
// not from the process's exit list, where the library's own patch object
// is destroyed first (it was registered after any handler of ours).
LivePatchHolder& TheLivePatchHolder();

// Releases what the holder holds, then loads "Tidewell.dll" (under this
// platform's file name) from `programDir` and takes its patch object. Fails
// with the loader's word when no patch object was had; the holder then ends
// empty.
platform::Status LoadLivePatchFrom(LivePatchHolder& holder, const wxString& programDir);
// The same, told as true or false.
bool LoadLivePatch(LivePatchHolder& holder, const wxString& programDir);

// The two release steps: the manifest of the patch object (if any), then the
// library (if loaded). The holder ends empty.
void ReleaseHolder(LivePatchHolder& holder);

// Releases the holder that g_pFrame->livePatch points at and clears that
// pointer. Nothing happens without a frame or holder.
void ReleaseLivePatch();
