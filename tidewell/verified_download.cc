// One patch file: download with the host's progress function, MD5 check,
// and the per-file status call.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "download/download_file.h"
#include "download/update_temporaries.h"
#include "tidewell/download_routine.h"
#include "tidewell/error_box.h"
#include "tidewell/library_directory.h"
#include "tidewell/live_patch_imp.h"
#include "tidewell/md5.h"
#include "tidewell/md5_file.h"

namespace {

constexpr int kDownloadAttempts = 10;
constexpr long kConnectTimeoutSeconds = 1;
constexpr size_t kReadChunk = size_t{1} << 20;

// Renames the complete, verified `download` over `target`. A file that
// replaces an installed one keeps its permission bits (the game's
// executable stays executable) and is on disk before it takes the place,
// so that a crash leaves the old file or the new one, never a cut one.
bool TakePlaceOf(const wxString& download, const wxString& target) {
  const wxCharBuffer from = download.utf8_str();
  const wxCharBuffer to = target.utf8_str();
  struct stat installed {};
  if (stat(to, &installed) == 0) {
    if (!S_ISREG(installed.st_mode)) return false;
    const int fd = open(from, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool durable = fchmod(fd, installed.st_mode & 07777) == 0 && fdatasync(fd) == 0;
    if (close(fd) != 0 || !durable) return false;
  }
  return std::rename(from, to) == 0;
}

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

}  // namespace tidewell

bool CLivePatchImp::DownloadAndVerify(const wxString& url, const wxString& target,
                                      const wxString& expectedHash, uint64_t maxBytes) {
  if (target.length() >= static_cast<size_t>(kStatusTextCapacity)) return false;
  // A fresh name, never a file of the game's own (whatever it is called),
  // noted so that the next start removes it when this run is killed.
  const std::string ledgerDir = tidewell::LibraryDirectory().utf8_string();
  std::string download;
  const int fd =
      CreateNotedTemporary(ledgerDir, target.utf8_string(), kDownloadTemporarySuffix, download);
  // Nothing can be written here: fail at once, as before any transfer.
  if (fd < 0) return false;
  close(fd);
  const bool done =
      DownloadAndVerifyVia(url, target, wxString::FromUTF8(download), expectedHash, maxBytes);
  if (!done) std::remove(download.c_str());
  ForgetNotedTemporaries(ledgerDir);
  return done;
}

bool CLivePatchImp::DownloadAndVerifyVia(const wxString& url, const wxString& target,
                                         const wxString& downloadPath, const wxString& expectedHash,
                                         uint64_t maxBytes) {
  // The host learns the file's path from statusText; a path that does not
  // fit could only be reported cut, so such a file is not fetched at all.
  if (target.length() >= static_cast<size_t>(kStatusTextCapacity)) return false;
  // A file that cannot be created here would fail every attempt (and every
  // pause between them): fail at once, as before any transfer.
  if (FILE* probe = std::fopen(downloadPath.utf8_str(), "wb")) {
    std::fclose(probe);
  } else {
    return false;
  }
  CURL* handle = curl_easy_init();
  if (!handle) return false;
  SetStatusText(target);
  bool downloaded = false;
  for (int attempt = 0; attempt < kDownloadAttempts && !downloaded; ++attempt) {
    if (attempt > 0 && !PauseBeforeRetry()) break;
    downloaded = tidewell::CurrentDownloadRoutine()(
        handle, url, downloadPath, kConnectTimeoutSeconds, progressCallback, maxBytes);
  }
  curl_easy_cleanup(handle);
  if (!downloaded) {
    std::remove(downloadPath.utf8_str());
    return false;
  }

  if (!expectedHash.empty()) {
    wxFile file(downloadPath, wxFile::read);
    if (!tidewell::VerifyFileMd5(file, expectedHash)) {
      file.Close();
      // The damaged file never takes the installed one's place.
      std::remove(downloadPath.utf8_str());
      // A damaged package must not be installed; the player has to fetch a
      // fresh client.
      tidewell::ShowErrorBox("更新资源包校验出错，请重新下载客户端安装包");
      // This runs on the host's update thread while its other threads go
      // on: exit() would run the exit-time destructors and free globals
      // those threads still use. Flush what is buffered and leave at once.
      std::fflush(nullptr);
      _exit(0);
    }
  }
  if (!TakePlaceOf(downloadPath, target)) {
    std::remove(downloadPath.utf8_str());
    return false;
  }
  NotifyStatus(statusText, 1, true, false);
  return true;
}
