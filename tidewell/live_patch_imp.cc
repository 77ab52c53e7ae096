#include "tidewell/live_patch_imp.h"

#include <algorithm>

#include "tidewell/download_routine.h"
#include "tidewell/error_box.h"

CLivePatchImp::CLivePatchImp() = default;
CLivePatchImp::~CLivePatchImp() = default;

void CLivePatchImp::SetStatusText(const wxString& text) {
  // Longer text is cut to what the buffer holds; it always stays terminated.
  const std::wstring wide = text.ToStdWstring();
  const size_t length = std::min(wide.size(), static_cast<size_t>(kStatusTextCapacity - 1));
  std::copy_n(wide.begin(), length, statusText);
  statusText[length] = L'\0';
}

void CLivePatchImp::NotifyStatus(const wchar_t* filePath, int32_t done, bool finished,
                                 bool launcherSet) {
  // A host without a status function simply hears nothing.
  if (statusCallback) statusCallback(filePath, done, 1, finished, userData, launcherSet, false);
}

bool CLivePatchImp::PauseBeforeRetry() { return !retryPause || retryPause(retryPauseContext); }

FetchPace CLivePatchImp::TransferPace() {
  FetchPace pace;
  pace.transfer = tidewell::CurrentDownloadRoutine();
  pace.pauseBeforeRound = [this] { return PauseBeforeRetry(); };
  return pace;
}

void CLivePatchImp::ReportVersionError(const wxString& version, const char* boxText) {
  SetStatusText(wxString::Format(L"更新版本%s发生错误", version));
  tidewell::ShowErrorBox(boxText);
}
