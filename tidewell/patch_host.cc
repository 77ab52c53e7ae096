#include "tidewell/patch_host.h"

#include <algorithm>
#include <string>

namespace tidewell {

FetchPace HostFetchPace(CLivePatch& patch) {
  FetchPace pace;
  if (patch.transfer) pace.transfer = patch.transfer;
  pace.pauseBeforeRound = [&patch] {
    return !patch.retryPause || patch.retryPause(patch.retryPauseContext);
  };
  return pace;
}

void SetStatusText(CLivePatch& patch, const wxString& text) {
  const std::wstring wide = text.ToStdWstring();
  const size_t length = std::min(wide.size(), static_cast<size_t>(kStatusTextCapacity - 1));
  std::copy_n(wide.begin(), length, patch.statusText);
  patch.statusText[length] = L'\0';
}

void NotifyHost(CLivePatch& patch, const wchar_t* filePath, int32_t done, bool finished,
                bool launcherSet) {
  if (patch.statusCallback)
    patch.statusCallback(filePath, done, 1, finished, patch.userData, launcherSet, false);
}

}  // namespace tidewell
