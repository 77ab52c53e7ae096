#include "tidewell/live_patch_imp.h"

#include <utility>

#include "tidewell/error_box.h"
#include "tidewell/failure_cause.h"
#include "tidewell/library_directory.h"
#include "tidewell/patch_host.h"
#include "tidewell/verified_download.h"

CLivePatchImp::CLivePatchImp(wxString modulePath)
    : modulePath_(std::move(modulePath)), libraryDirectory_(tidewell::DirectoryOf(modulePath_)) {}

CLivePatchImp::~CLivePatchImp() = default;

bool CLivePatchImp::Kept(const platform::Status& status) {
  failureCause_ = tidewell::CauseOf(status);
  return status.ok();
}

platform::Status CLivePatchImp::DownloadAndVerify(const wxString& url, const wxString& target,
                                                  const wxString& expectedHash, uint64_t maxBytes) {
  return tidewell::FetchVerifiedFile(*this, libraryDirectory_, url, target, expectedHash, maxBytes);
}

void CLivePatchImp::ReportVersionError(const wxString& version, const char* boxText) {
  tidewell::SetStatusText(*this, wxString::Format(L"更新版本%s发生错误", version));
  tidewell::ShowErrorBox(boxText);
}
