// Shared set-up for the update library's tests: a fresh patch object whose
// library directory is a temporary directory, a loopback update server, a
// desktop that records message boxes, and a recorder of status calls.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/http_server.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/temp_dir.h"
#include "tidewell/live_patch_imp.h"
#include "tidewell/md5.h"

namespace tidewell_testing {

struct StatusCall {
  bool hasPath = false;
  std::string path;  // UTF-8
  int done = 0;
  int total = 0;
  bool finished = false;
  void* user = nullptr;
  bool launcherSet = false;
  std::string currentVersion;  // GetCurrentVersion() during the call
};

inline std::string Md5Of(const std::string& bytes) {
  MD5 digest;
  digest.update(bytes.data(), bytes.size());
  digest.finalize();
  return digest.hexdigest();
}

// One file entry as a `filedetails` or `item` element.
inline std::string Entry(const std::string& element, const std::string& name,
                         const std::string& url, const std::string& local = "",
                         const std::string& hash = "") {
  std::string xml = "<" + element + " name=\"" + name + "\" url=\"" + url + "\"";
  if (!local.empty()) xml += " local=\"" + local + "\"";
  if (!hash.empty()) xml += " hash=\"" + hash + "\"";
  return xml + "/>";
}

class TidewellTest : public ::testing::Test {
 protected:
  TidewellTest() {
    patch.statusCallback = &TidewellTest::RecordStatus;
    patch.userData = this;
  }

  void SetUp() override { ASSERT_TRUE(server.running()); }

  wxString Url(const std::string& path) const { return wxString::FromUTF8(server.Url(path)); }

  bool Load(const std::string& path, const wxString& clientVersion) {
    return patch.LoadManifest(Url(path).wc_str(), clientVersion.wc_str());
  }

  // Serves `manifest` at /up/manifest.xml and loads it.
  bool ServeAndLoad(const std::string& manifest, const wxString& clientVersion) {
    server.Serve("/up/manifest.xml", testing_support::HttpResponse(200, manifest));
    return Load("/up/manifest.xml", clientVersion);
  }

  // Serves `body` at /up/<name>; returns its MD5.
  std::string ServeFile(const std::string& name, const std::string& body) {
    server.Serve("/up/" + name, testing_support::HttpResponse(200, body));
    return Md5Of(body);
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : desktop.MessageBoxes()) texts.push_back(box.text);
    return texts;
  }

  std::string StatusText() const { return wxString(patch.statusText).ToStdString(wxConvUTF8); }

  static void RecordStatus(const wchar_t* filePath, int32_t done, int32_t total, bool finished,
                           void* user, bool launcherSet, bool) {
    auto* self = static_cast<TidewellTest*>(user);
    StatusCall call;
    call.hasPath = filePath != nullptr;
    if (filePath) call.path = wxString(filePath).ToStdString(wxConvUTF8);
    call.done = done;
    call.total = total;
    call.finished = finished;
    call.user = user;
    call.launcherSet = launcherSet;
    call.currentVersion = self->patch.GetCurrentVersion().ToStdString(wxConvUTF8);
    self->calls.push_back(call);
    if (self->onStatus) self->onStatus(call);
  }

  testing_support::LoopbackHttpServer server;
  testing_support::TempDir dir;
  testing_support::RecordingDesktop desktop;
  // Its library file lies in the test's directory.
  CLivePatchImp patch{wxString::FromUTF8(dir.File("libTidewell.so"))};
  std::vector<StatusCall> calls;
  std::function<void(const StatusCall&)> onStatus;
};

}  // namespace tidewell_testing
