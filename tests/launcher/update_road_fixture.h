// Shared set-up for the tests of the launcher's update road: a program
// directory holding a copy of the real update library, a frame whose update
// URLs point at a loopback update server, an installed version.ini, an open
// run log and a desktop that records the library's message boxes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "launcher/config/version_config.h"
#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/serverlist/chosen_server.h"
#include "launcher/system/instance_path.h"
#include "launcher/system/my_thread.h"
#include "launcher/system/run_log.h"
#include "launcher/update/live_patch_holder.h"
#include "skinui/window_system.h"
#include "tests/support/http_server.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_builder.h"

namespace update_road_testing {

using testing_support::HttpResponse;
using testing_support::PathExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

// "<patch>" or "<Launcherpatch>" set with a version and, optionally, one
// file entry (without a hash) stored under the library's directory `local`.
inline std::string Set(const std::string& kind, const std::string& version,
                       const std::string& file = "", const std::string& local = "game") {
  std::string xml = "<" + kind + "><version value=\"" + version + "\"/>";
  if (!file.empty())
    xml += "<filedetails name=\"" + file + "\" url=\"" + file + "\" local=\"" + local + "\"/>";
  return xml + "</" + kind + ">";
}

inline std::string Manifest(const std::string& sets) { return "<update>" + sets + "</update>"; }

class UpdateRoadTest : public ::testing::Test {
 protected:
  UpdateRoadTest() {
    SetInstancePath(wxString::FromUTF8(dir.path()));
    frame.programDir = wxString::FromUTF8(dir.path());
    frame.updateVersionUrl1 = Url("/up/manifest.xml");
  }

  void SetUp() override {
    ASSERT_TRUE(server.running());
    ResetWorkerStop();  // an earlier test may have shut its workers down
    std::error_code error;
    std::filesystem::copy_file(VELMOR_TIDEWELL_LIBRARY, dir.File("libTidewell.so"), error);
    ASSERT_FALSE(error) << error.message();
    SetInstalled("1.0", "1.0");
    OpenRunLog(frame.logTarget);
    ASSERT_NE(frame.logTarget.load(), nullptr);
    ClearChosenServer();
  }

  void TearDown() override {
    ResetWorkerStop();
    ReleaseLivePatch();
    ReleaseHolder(TheLivePatchHolder());
    CloseRunLog(frame.logTarget);
    ClearChosenServer();
    auto& versions = VersionConfig();
    auto lock = versions.Lock();
    versions.filePath.clear();
  }

  wxString Url(const std::string& path) const { return wxString::FromUTF8(server.Url(path)); }

  // Writes version.ini and loads it as the installed versions.
  void SetInstalled(const std::string& game, const std::string& launcher) {
    WriteFile(dir.File("version.ini"),
              "[Version]\nVersion=" + game + "\nLVersion=" + launcher + "\n");
    ASSERT_TRUE(VersionConfig().Load(wxString::FromUTF8(dir.File("version.ini"))));
  }

  std::string InstalledGame() const {
    auto lock = VersionConfig().Lock();
    return VersionConfig().Version.utf8_string();
  }
  std::string InstalledLauncher() const {
    auto lock = VersionConfig().Lock();
    return VersionConfig().LVersion.utf8_string();
  }

  // A file under the program directory, with its directories; its path.
  std::string MakeFile(const std::string& relative, const std::string& contents = "x") {
    std::filesystem::create_directories(std::filesystem::path(dir.File(relative)).parent_path());
    WriteFile(dir.File(relative), contents);
    return dir.File(relative);
  }

  void ServeManifest(const std::string& sets) {
    server.Serve("/up/manifest.xml", HttpResponse(200, Manifest(sets)));
  }

  void ServeFile(const std::string& name, const std::string& body) {
    server.Serve("/up/" + name, HttpResponse(200, body));
  }

  // The bytes of a zip archive of (name, contents) entries; empty on failure.
  static std::string ZipBytes(const std::vector<std::pair<std::string, std::string>>& entries) {
    testing_support::TempDir work;
    std::vector<testing_support::ZipEntrySpec> specs(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
      std::tie(specs[i].name, specs[i].contents) = entries[i];
    const std::string path = work.File("package.zip");
    return testing_support::WriteZipArchive(path, specs) ? ReadFile(path) : std::string();
  }

  // Run-log entries whose text after "launcher(<line>): " is exactly `text`.
  int CountLog(const std::string& text, bool error = false) const {
    static const std::regex entry(
        R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}: (Error: )?launcher\(\d+\): (.*)$)");
    int count = 0;
    std::istringstream in(ReadFile(dir.File("run.log")));
    for (std::string line; std::getline(in, line);) {
      std::smatch match;
      if (std::regex_match(line, match, entry) && match[1].matched == error && match[2] == text)
        ++count;
    }
    return count;
  }
  int CountErrorLog(const std::string& text) const { return CountLog(text, true); }

  // The entry right after the `occurrence`-th error entry whose text is
  // `text` ("launcher(<line>): cause: <why>" after a prefixed one), without
  // its time stamp; empty when there is none.
  std::string EntryAfterError(const std::string& text, int occurrence = 1) const {
    static const std::regex entry(
        R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}: (Error: )?((launcher\(\d+\): )?(.*))$)");
    std::istringstream in(ReadFile(dir.File("run.log")));
    bool next = false;
    for (std::string line; std::getline(in, line);) {
      std::smatch match;
      if (!std::regex_match(line, match, entry)) continue;
      if (next) return match[1].str() + match[2].str();
      next = match[1].matched && match[4] == text && --occurrence == 0;
    }
    return std::string();
  }

  // Runs the window changes the road has handed to the UI thread, which is
  // this test's thread: what the windows show is read after it.
  static void RunHandedChanges() { skinui::PumpPendingMessages(); }

  testing_support::TempDir dir;
  testing_support::LoopbackHttpServer server;
  testing_support::RecordingDesktop desktop;
  LauncherFrameWnd frame;
};

}  // namespace update_road_testing
