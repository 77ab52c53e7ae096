// The progress-function option is marked deprecated by newer libcurl, but it
// is the interface both callers hand their progress functions through.
#define CURL_DISABLE_DEPRECATION 1

#include "download/download_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "platform/fresh_file.h"
#include "platform/stdio_file.h"

namespace {

// libcurl is asked to receive in pieces this large (its default is 16 KiB):
// a few large reads from the socket and writes to the file instead of many
// small ones. A piece at least the stream buffer's size goes to the file
// without being copied into the buffer first.
constexpr long kReceiveBufferSize = 512 * 1024;
// Small pieces (headers of an error page, the last bytes) gather here.
constexpr size_t kOutputBufferSize = 256 * 1024;

// Where the body goes: the open file, and how much it may take.
struct BodySink {
  CURL* handle = nullptr;
  FILE* file = nullptr;
  uint64_t written = 0;
  uint64_t limit = kNoSizeLimit;
  int writeError = 0;      // errno of a write the file refused
  bool overBound = false;  // the body outgrew its bound
};

// libcurl write function: appends to the file, and ends the transfer (by
// taking fewer bytes than offered) when the file cannot take them or the
// body grows past its bound.
size_t WriteBody(char* data, size_t itemSize, size_t itemCount, void* userData) {
  auto* sink = static_cast<BodySink*>(userData);
  const size_t length = itemSize * itemCount;
  uint64_t limit = sink->limit;
  // An answer other than 200 (an error page, a redirect that is not
  // followed) fails anyway: it is kept, but never larger than a document.
  long status = 0;
  if (curl_easy_getinfo(sink->handle, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
      status != 200 && (limit == kNoSizeLimit || limit > kDocumentSizeLimit)) {
    limit = kDocumentSizeLimit;
  }
  if (limit != kNoSizeLimit && (sink->written > limit || length > limit - sink->written)) {
    sink->overBound = true;
    return 0;
  }
  errno = 0;
  const size_t stored = std::fwrite(data, 1, length, sink->file);
  if (stored != length) sink->writeError = errno != 0 ? errno : EIO;
  sink->written += stored;
  return stored;
}

// libcurl's trace goes to standard error, which a desktop session sends to
// its journal: only written when asked for.
long VerboseTraceWanted() {
  const char* value = std::getenv("VELMOR_CURL_VERBOSE");
  return (value != nullptr && value[0] != '\0' && value[0] != '0') ? 1L : 0L;
}

}  // namespace

size_t ParseContentLength(char* buffer, size_t itemSize, size_t itemCount, void* userData) {
  const size_t length = itemSize * itemCount;
  // libcurl's header buffer is not terminated; scan a terminated copy.
  const std::string line(buffer, length);
  long contentLength = 0;
  if (std::sscanf(line.c_str(), "Content-Length: %ld\n", &contentLength) != 0) {
    *static_cast<long*>(userData) = contentLength;
  }
  return length;
}

TransferOutcome TransferFile(CURL* handle, const wxString& url, const wxString& path,
                             long connectTimeout, curl_progress_callback progress,
                             uint64_t maxBytes, long stallTimeoutSeconds) {
  TransferOutcome outcome;
  // Declared first: the stream uses it until it is closed.
  std::unique_ptr<char[]> outputBuffer(new (std::nothrow) char[kOutputBufferSize]);
  // The download targets have fixed names in the program directory
  // (ServerListTemp.xml, the work file test.gps): a link planted under one
  // is replaced by a file of our own, never written through.
  platform::StdioFile output = platform::StdioFileOver(
      platform::FileDescriptor(platform::OpenReplacingLinks(path.utf8_str(), true)), "wb+");
  if (!output) {
    outcome.fileError = errno;
    std::perror(nullptr);
    return outcome;
  }
  if (outputBuffer) std::setvbuf(output.get(), outputBuffer.get(), _IOFBF, kOutputBufferSize);
  long contentLength = 0;
  BodySink sink;
  sink.handle = handle;
  sink.file = output.get();
  sink.limit = maxBytes;

  // The whole list is set on every call, so a reused handle behaves the same
  // each time.
  curl_easy_setopt(handle, CURLOPT_URL, static_cast<const char*>(url.utf8_str()));
  // Update servers speak HTTP: a URL from a manifest must not read local
  // files (file://) or reach other kinds of servers, and neither may a redirect.
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, connectTimeout);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &ParseContentLength);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &contentLength);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 1L);
  curl_easy_setopt(handle, CURLOPT_VERBOSE, VerboseTraceWanted());
  curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  // A server that accepts and then sends nothing (or a byte now and then)
  // must not hold the update for good.
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, stallTimeoutSeconds);
  // A declared length over the bound is refused before any body arrives;
  // the write function catches bodies that do not declare one.
  curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE,
                   static_cast<curl_off_t>(maxBytes == kNoSizeLimit ? 0 : maxBytes));
  if (progress) {
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_PROGRESSFUNCTION, progress);
  }

  outcome.curl = curl_easy_perform(handle);
  // A full disk may only show when the buffered rest is written out.
  errno = 0;
  if (std::fflush(output.get()) != 0 || std::ferror(output.get())) {
    outcome.fileError = errno != 0 ? errno : EIO;
  }
  errno = 0;
  if (!platform::CloseStdioFile(output) && outcome.fileError == 0) {
    outcome.fileError = errno != 0 ? errno : EIO;
  }
  if (sink.writeError != 0) outcome.fileError = sink.writeError;
  outcome.overBound = sink.overBound;
  long responseCode = 0;
  if (curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &responseCode) == CURLE_OK)
    outcome.httpStatus = responseCode;
  long socketError = 0;
  if (curl_easy_getinfo(handle, CURLINFO_OS_ERRNO, &socketError) == CURLE_OK)
    outcome.socketError = static_cast<int>(socketError);
  return outcome;
}

bool DownloadFile(CURL* handle, const wxString& url, const wxString& path, long connectTimeout,
                  curl_progress_callback progress, uint64_t maxBytes, long stallTimeoutSeconds) {
  return TransferFile(handle, url, path, connectTimeout, progress, maxBytes, stallTimeoutSeconds)
      .fetched();
}
