// A small filesystem that fills up: nothing the update road writes may cut
// or empty an installed file when the disk is full.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "download/download_file.h"
#include "launcher/config/version_config.h"
#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/packages/installation.h"
#include "launcher/packages/package_extraction.h"
#include "launcher/serverlist/server_list_download.h"
#include "tests/launcher/packages/install_place.h"
#include "tests/support/curl_environment.h"
#include "tests/support/http_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_road_environment.h"
#include "tests/support/zip_builder.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

[[maybe_unused]] ::testing::Environment* const kCurlEnvironment =
    testing_support::AddCurlEnvironment();

constexpr char kSmallFilesystem[] = "size=256k,mode=0755";

class FullDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (mount("tmpfs", disk_.path().c_str(), "tmpfs", 0, kSmallFilesystem) != 0) {
      GTEST_SKIP() << "no tmpfs can be mounted here (needs the right to mount): skipped";
    }
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) umount2(disk_.path().c_str(), MNT_DETACH);
  }

  // Fills what is left of the small filesystem.
  void FillUp() {
    const std::string block(4096, 'f');
    FILE* filler = std::fopen(disk_.File("filler").c_str(), "wb");
    ASSERT_NE(filler, nullptr);
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size()) {
    }
    std::fclose(filler);
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(disk_.path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir disk_, work_;
  bool mounted_ = false;
};

TEST_F(FullDiskTest, InstallationThatDoesNotFitLeavesTheInstalledFilesWhole) {
  WriteFile(disk_.File("a.txt"), "old a");
  const std::string package = work_.File("pkg");
  std::filesystem::create_directories(package);
  WriteFile(package + "/a.txt", "new a");
  WriteFile(package + "/big.bin", std::string(512 * 1024, 'b'));
  InstallPlace place;
  place.programDir = wxString::FromUTF8(disk_.path());
  EXPECT_FALSE(InstallUpdateFiles(place.Target(), wxString::FromUTF8(package),
                                  wxString::FromUTF8(package), false, nullptr));
  EXPECT_EQ(ReadFile(disk_.File("a.txt")), "old a");
  EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"});
}

// Unpacking, installing and merging check what they will add against the
// room left with the reserve kept free (16 KiB of this filesystem): each
// step here would still fit on the disk but not leave the reserve, and is
// refused before it writes, leaving the disk as it was.
TEST_F(FullDiskTest, StepsThatWouldEatIntoTheReserveAreRefusedAndLeaveNothing) {
  constexpr size_t kStep = 236 * 1024;  // 59 of the 61 pages left
  std::string index(136, 'H');
  index += std::string("\0\0\0\0\4\0\0\0", 8) + std::string(12, '\0');
  WriteFile(disk_.File("login.dat"), "AAAA");
  WriteFile(disk_.File("login.dat.i"), index);
  testing_support::ZipEntrySpec zeros;
  zeros.name = "zeros.bin";
  zeros.contents = std::string(kStep, '\0');
  ASSERT_TRUE(testing_support::WriteZipArchive(disk_.File("big.upd"), {zeros}));
  const std::vector<std::string> before = Names();

  const std::string package = work_.File("pkg");
  std::filesystem::create_directories(package);
  InstallPlace place;
  place.programDir = wxString::FromUTF8(disk_.path());
  const auto install = [&](const std::string& name, const std::string& contents) {
    std::filesystem::remove_all(package);
    std::filesystem::create_directories(package);
    WriteFile(package + "/" + name, contents);
    if (name == "login.dat.i") WriteFile(package + "/login.dat", std::string(kStep, 'z'));
    const wxString dir = wxString::FromUTF8(package);
    return InstallPackage(place.Target(), dir, dir, false, nullptr);
  };
  std::string oneRecord(136, 'H');
  oneRecord += std::string(4, '\0') + std::string("\0\xB0\x03\0", 4) + std::string(12, '\0');
  oneRecord += std::string("\1\0\0\0", 4);  // 241664 bytes at 0, a new record
  const struct {
    const char* step;
    std::function<platform::Status()> run;
    std::string cause;  // how the failure begins to say why
  } cases[] = {
      {"unpacking",
       [&] { return UnpackPackage(wxString::FromUTF8(disk_.File("big")), false, nullptr); },
       "no room on the disk to unpack " + disk_.File("big") + ": "},
      {"installing", [&] { return install("big.bin", std::string(kStep, 'b')); },
       "no room on the disk for " + disk_.File("big.bin")},
      {"merging", [&] { return install("login.dat.i", oneRecord); },
       "merging " + package + "/login.dat.i: no room on the disk for 241664 more bytes of " +
           disk_.File("login.dat")},
  };
  for (const auto& c : cases) {
    const platform::Status done = c.run();
    ASSERT_FALSE(done) << c.step;
    EXPECT_EQ(done.error().message.rfind(c.cause, 0), 0u) << done.error().message;
    EXPECT_EQ(Names(), before) << c.step;
    EXPECT_EQ(ReadFile(disk_.File("login.dat")), "AAAA") << c.step;
    EXPECT_EQ(ReadFile(disk_.File("login.dat.i")), index) << c.step;
  }
}

TEST_F(FullDiskTest, VersionSaveOnAFullDiskKeepsTheOldFile) {
  const std::string text = "[Version]\nVersion=1.0\nLVersion=1.0\n";
  WriteFile(disk_.File("version.ini"), text);
  auto& versions = VersionConfig();
  ASSERT_TRUE(versions.Load(wxString::FromUTF8(disk_.File("version.ini"))));
  FillUp();
  {
    auto lock = versions.Lock();
    versions.Version = std::string(8192, '9');
  }
  EXPECT_FALSE(versions.Save());
  EXPECT_EQ(ReadFile(disk_.File("version.ini")), text);
  EXPECT_EQ(Names(), (std::vector<std::string>{"filler", "version.ini"}));
  auto lock = versions.Lock();
  versions.filePath.clear();
}

TEST_F(FullDiskTest, DownloadThatDoesNotReachTheDiskFails) {
  testing_support::LoopbackHttpServer server;
  ASSERT_TRUE(server.running());
  server.Serve("/big", testing_support::HttpResponse(200, std::string(512 * 1024, 'd')));
  CURL* handle = curl_easy_init();
  EXPECT_FALSE(DownloadFile(handle, wxString::FromUTF8(server.Url("/big")),
                            wxString::FromUTF8(disk_.File("big")), 1, nullptr));
  curl_easy_cleanup(handle);
}

TEST_F(FullDiskTest, ServerListThatCannotBeStoredKeepsTheCachedOne) {
  constexpr size_t kPage = 4096;
  const std::string cached = "<velmor><area pid=\"1\" name=\"A\"/></velmor>";
  WriteFile(disk_.File("ServerList.xml"), cached);
  // Room for the download, not for a second copy of it.
  WriteFile(disk_.File("reserve"), std::string(30 * kPage, 'r'));
  FillUp();
  std::filesystem::remove(disk_.File("reserve"));
  testing_support::LoopbackHttpServer server;
  ASSERT_TRUE(server.running());
  server.Serve("/list", testing_support::HttpResponse(
                            200, "<velmor><!--" + std::string(25 * kPage, 'l') + "--></velmor>"));
  LauncherFrameWnd frame;
  frame.serverListUrl1 = wxString::FromUTF8(server.Url("/list"));
  testing_support::TestRoadEnvironment road;
  EXPECT_TRUE(
      DownLoadServerListFile(frame, frame.logTarget, wxString::FromUTF8(disk_.path()), road));
  EXPECT_TRUE(ReadFile(disk_.File("ServerList.xml")) == cached);  // not cut
}

}  // namespace
