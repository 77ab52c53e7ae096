#include "tidewell/verified_download.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "download/fetch_file.h"
#include "download/update_temporaries.h"
#include "platform/file_replacement.h"
#include "tidewell/error_box.h"
#include "tidewell/failure_cause.h"
#include "tidewell/md5.h"
#include "tidewell/md5_file.h"
#include "tidewell/patch_host.h"

namespace {

constexpr size_t kReadChunk = size_t{1} << 20;

}  // namespace

namespace tidewell {

bool VerifyFileMd5(wxFile& file, const wxString& expectedHash) {
  MD5 digest;
  if (file.IsOpened()) {
    // Large reads: with a few KiB per read the system calls cost a fifth
    // of the check. The kernel is told the file is read once, in order.
    const std::unique_ptr<char[]> buffer(new char[kReadChunk]);
    posix_fadvise(file.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    // The end-of-file test after each read compares the position with the
    // file's length, as wxFile::Eof does; but both are kept here rather than
    // asked of the system each time. The length is asked again whenever the
    // position reaches it, so a file that grew meanwhile is still read to
    // its end.
    wxFileOffset position = file.Tell();
    wxFileOffset length = file.Length();
    for (;;) {
      const ssize_t count = file.Read(buffer.get(), kReadChunk);
      if (count <= 0) break;  // end of file, or a read error
      digest.update(buffer.get(), static_cast<size_t>(count));
      // Where the position cannot be had, Eof reports the end as well.
      if (position == wxInvalidOffset || length == wxInvalidOffset) break;
      position += count;
      if (position >= length) {
        length = file.Length();
        if (length == wxInvalidOffset || position >= length) break;
      }
    }
  }
  digest.finalize();
  // The digest is 32 ASCII digits, so a longer or shorter text never matches.
  return wxString(digest.hexdigest()).IsSameAs(expectedHash, false);
}

namespace {

// The transfer into `download` (begun beside the target), the check, and
// its placing.
platform::Status FetchAndVerify(CLivePatch& patch, const wxString& url, const wxString& target,
                                platform::FileReplacement& download, const wxString& expectedHash,
                                uint64_t maxBytes) {
  const wxString downloadPath = wxString::FromUTF8(download.path());
  SetStatusText(patch, target);
  // The host's progress function follows every attempt from its start.
  FetchRequest request;
  request.url = url;
  request.path = downloadPath;
  request.progress = patch.progressCallback;
  request.maxBytes = maxBytes;
  const FetchResult fetched = FetchFile(request, HostFetchPace(patch));
  if (!fetched) {
    // The temporary name goes with the failure: the cause names the target.
    wxString cause = fetched.cause;
    cause.Replace(downloadPath, target);
    return Failure(cause);
  }

  if (!expectedHash.empty()) {
    wxFile file(downloadPath, wxFile::read);
    if (!VerifyFileMd5(file, expectedHash)) {
      file.Close();
      // The damaged file never takes the installed one's place.
      download.Abandon();
      // A damaged package must not be installed; the player has to fetch a
      // fresh client.
      ShowErrorBox("更新资源包校验出错，请重新下载客户端安装包");
      // This runs on the host's update thread while its other threads go
      // on: exit() would run the exit-time destructors and free globals
      // those threads still use. Flush what is buffered and leave at once.
      std::fflush(nullptr);
      _exit(0);
    }
  }
  // A file that replaces an installed one keeps its permission bits (the
  // game's executable stays executable).
  if (platform::Status placed = download.Commit(); !placed) return placed;
  NotifyHost(patch, patch.statusText, 1, true, false);
  return platform::Status();
}

}  // namespace

platform::Status FetchVerifiedFile(CLivePatch& patch, const wxString& ledgerDirectory,
                                   const wxString& url, const wxString& target,
                                   const wxString& expectedHash, uint64_t maxBytes) {
  // The host learns the file's path from statusText; a path that does not
  // fit could only be reported cut, so such a file is not fetched at all.
  if (target.length() >= static_cast<size_t>(kStatusTextCapacity))
    return Failure("path too long to report: " + target);
  // The transfer goes to a fresh name beside the target, never a file of the
  // game's own (whatever it is called), noted so that the next start removes
  // it when this run is killed; the installed file stays until it is
  // replaced whole.
  const std::string ledgerDir = ledgerDirectory.utf8_string();
  platform::ReplaceOptions options;
  options.makeTemporary = [&ledgerDir](const std::string& to, std::string& path) {
    return CreateNotedTemporary(ledgerDir, to, kDownloadTemporarySuffix, path);
  };
  platform::Status done;
  {
    // Nothing can be written beside it, or nothing can replace it: fail at
    // once, before any transfer.
    platform::Result<platform::FileReplacement> download =
        platform::FileReplacement::Begin(target.utf8_string(), std::move(options));
    done = download ? FetchAndVerify(patch, url, target, download.value(), expectedHash, maxBytes)
                    : platform::Status(download.error());
  }
  ForgetNotedTemporaries(ledgerDir);
  return done;
}

}  // namespace tidewell
