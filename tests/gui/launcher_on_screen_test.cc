// The real launcher on a virtual screen: one launcher process against
// loopback servers, driven with the mouse and the keyboard, read back through
// window geometry and pixels. The cases run in order on the same launcher:
// each leaves it where the next one starts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/gui/screen_probe.h"
#include "tests/support/http_server.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace gui_test {
namespace {

namespace fs = std::filesystem;
using testing_support::HttpResponse;

// Offsets of the frame's children in the plain layout, and the test skins'
// sizes; see tests/gui/skin.
struct Child {
  const char* windowClass;
  int dx, dy, width, height;
};
constexpr Child kChildren[] = {
    {"UINewsFrame", 199, 323, 290, 230},
    {"UINews2Frame", 499, 323, 290, 230},
    {"UITopFrame", 189, 197, 600, 120},
    {"UIUpdateFrame", 106, 580, 590, 80},
};
constexpr int kFrameWidth = 1000, kFrameHeight = 690;

// Processes of the launcher's process group whose name starts with
// "WebKit" (the browser's web and network processes).
int BrowserProcesses(pid_t group) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = std::stoi(name);
    if (getpgid(pid) != group) continue;
    if (testing_support::ReadFile(entry.path().string() + "/comm").rfind("WebKit", 0) == 0) {
      ++count;
    }
  }
  return count;
}

std::string Page(const char* colour) {
  return std::string("<!DOCTYPE html><html><body style=\"margin:0;background:") + colour +
         "\"></body></html>";
}

class LauncherOnScreen : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    screen_ = new VirtualScreen;
    server_ = new testing_support::LoopbackHttpServer;
    dir_ = new testing_support::TempDir;
    if (!screen_->Started() || !server_->running()) return;
    server_->Serve("/update.xml",
                   HttpResponse{200,
                                "<?xml version=\"1.0\"?><update><patch><version value=\"1.0\"/>"
                                "</patch><Launcherpatch><version value=\"1.0\"/></Launcherpatch>"
                                "</update>"});
    server_->Serve("/ServerList.xml",
                   HttpResponse{200,
                                "<?xml version=\"1.0\"?><velmor><area pid=\"1\" name=\"A\">"
                                "<server sid=\"101\" name=\"One\" address=\"127.0.0.1\" "
                                "chargeIp=\"127.0.0.1\" port=\"7001\" state=\"1\"/>"
                                "<server sid=\"102\" name=\"Two\" address=\"127.0.0.2\" "
                                "chargeIp=\"127.0.0.2\" port=\"7002\" state=\"1\"/>"
                                "</area></velmor>"});
    server_->Serve("/left.html", HttpResponse{200, Page("#00FF00"), {}, "text/html"});
    server_->Serve("/right.html", HttpResponse{200, Page("#0000FF"), {}, "text/html"});
    server_->Serve("/top.html", HttpResponse{200, Page("#FF00FF"), {}, "text/html"});

    const fs::path program(VELMOR_GUI_PROGRAM_DIR);
    for (const char* file : {"launcher", "libskinui.so", "libskinui_screen.so", "libskinui_web.so",
                             "libvelmor_platform.so", "libTidewell.so"}) {
      fs::copy_file(program / file, fs::path(dir_->path()) / file);
    }
    fs::copy_file(VELMOR_GUI_BT_DAT, dir_->File("bt.dat"));
    const std::string url = server_->BaseUrl();
    testing_support::WriteFile(
        dir_->File("orvo.ini"),
        "[Setup]\nServerListUrl=" + url + "ServerList.xml\nUpdateVersionUrl=" + url +
            "update.xml\nServerAddr=\nServerPort=\nChargeUrl=\nServerSid=\n"
            "Resolution=1024*768\nFullScreen=0\nVersion=1.0\nLVersion=1.0\n");
    testing_support::WriteFile(dir_->File("Do.ini"), "[Addr]\nServerListUrl1=" + url +
                                                         "ServerList.xml\n"
                                                         "UpdateVersionUrl1=" +
                                                         url + "update.xml\n");
    testing_support::WriteFile(dir_->File("web.ini"),
                               "[Web]\nLeftUrl=" + url + "left.html\nRightUrl=" + url +
                                   "right.html\nTopUrl=" + url + "top.html\n");
    // The stand-in game records how it was started.
    testing_support::WriteFile(dir_->File("orvo.exe"),
                               "#!/bin/sh\necho \"$*\" > \"$(dirname \"$0\")/started.txt\"\n");
    fs::permissions(dir_->File("orvo.exe"), fs::perms::owner_all);

    launcher_ = StartLauncher({});
    launcherStarted_ = launcher_ > 0;
  }

  // Starts the program directory's launcher on the virtual screen, in its
  // own session bus (so no daemon outlives the test) and its own process
  // group; -1 on failure.
  static pid_t StartLauncher(const std::vector<std::string>& extraEnvironment) {
    const std::string launcher = dir_->File("launcher");
    std::vector<std::string> args = {"dbus-run-session", "--", launcher};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"DISPLAY=" + screen_->Display(), "HOME=" + dir_->path(),
                                    "PATH=/usr/bin:/bin"};
    env.insert(env.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const std::string log = dir_->File("stderr.log");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addchdir_np(&actions, dir_->path().c_str());
    pid_t pid = -1;
    if (posix_spawnp(&pid, "dbus-run-session", &actions, &attributes, argv.data(), envp.data()) !=
        0) {
      pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return pid;
  }

  static bool Ended(pid_t pid) {
    int status;
    return waitpid(pid, &status, WNOHANG) == pid;
  }

  static void TearDownTestSuite() {
    if (launcher_ > 0) {
      kill(-launcher_, SIGKILL);
      int status;
      waitpid(launcher_, &status, 0);
    }
    delete dir_;
    delete server_;
    delete screen_;
  }

  void SetUp() override {
    ASSERT_TRUE(screen_->Started()) << "Xvfb could not be started";
    ASSERT_TRUE(server_->running());
    ASSERT_TRUE(launcherStarted_);
  }

  static Geometry Frame() { return screen_->Find("UIMainFrame"); }
  // A point of the frame's client area on screen.
  static bool Click(const Geometry& window, int x, int y) {
    return screen_->Xdotool("mousemove " + std::to_string(window.x + x) + " " +
                            std::to_string(window.y + y) + " click 1");
  }
  static Rgb At(const Geometry& window, int x, int y) {
    return screen_->Pixel(window.x + x, window.y + y);
  }
  static bool WaitForColour(const Geometry& window, int x, int y, const Rgb& colour,
                            double seconds = 10) {
    return WaitFor([&] { return Near(At(window, x, y), colour); }, seconds);
  }
  static std::string Setting(const std::string& key) {
    const std::string ini = testing_support::ReadFile(dir_->File("orvo.ini"));
    const size_t at = ini.find("\n" + key + "=");
    if (at == std::string::npos) return std::string();
    const size_t start = at + key.size() + 2;
    return ini.substr(start, ini.find_first_of("\r\n", start) - start);
  }

  static VirtualScreen* screen_;
  static testing_support::LoopbackHttpServer* server_;
  static testing_support::TempDir* dir_;
  static pid_t launcher_;  // -1 once it has ended
  static bool launcherStarted_;
};

VirtualScreen* LauncherOnScreen::screen_ = nullptr;
testing_support::LoopbackHttpServer* LauncherOnScreen::server_ = nullptr;
testing_support::TempDir* LauncherOnScreen::dir_ = nullptr;
pid_t LauncherOnScreen::launcher_ = -1;
bool LauncherOnScreen::launcherStarted_ = false;

TEST_F(LauncherOnScreen, FrameIsCentredAndChildrenSitAtTheirOffsets) {
  ASSERT_TRUE(WaitFor([] { return Frame().viewable; }, 20)) << "no frame on screen";
  const Geometry frame = Frame();
  EXPECT_EQ(frame.width, kFrameWidth);
  EXPECT_EQ(frame.height, kFrameHeight);
  EXPECT_EQ(frame.x, (1280 - kFrameWidth) / 2);
  EXPECT_EQ(frame.y, (1024 - kFrameHeight) / 2);
  for (const Child& child : kChildren) {
    SCOPED_TRACE(child.windowClass);
    ASSERT_TRUE(WaitFor([&] { return screen_->Find(child.windowClass).viewable; }));
    const Geometry g = screen_->Find(child.windowClass);
    EXPECT_EQ(g.x, frame.x + child.dx);
    EXPECT_EQ(g.y, frame.y + child.dy);
    EXPECT_EQ(g.width, child.width);
    EXPECT_EQ(g.height, child.height);
  }
  // The server-list popup exists from the start but is hidden.
  EXPECT_FALSE(screen_->Find("UIServerListFrame").viewable);
}

TEST_F(LauncherOnScreen, ControlsAndRoundedCornersAreDrawnFromTheSkin) {
  const Geometry frame = Frame();
  const Geometry update = screen_->Find("UIUpdateFrame");
  ASSERT_TRUE(frame.viewable && update.viewable);
  // The round corner cuts the frame's shape: the screen's root shows there.
  const Rgb root = screen_->Pixel(2, 2);
  struct Probe {
    const char* what;
    Geometry window;
    int x, y;
    Rgb colour;
  } probes[] = {
      {"corner", frame, 1, 1, root},
      {"frame background", frame, 60, 300, {0x20, 0x40, 0x60}},
      {"close button", frame, 965, 20, {0xC0, 0x30, 0x30}},
      {"settings button", frame, 24, 104, {0x30, 0xA0, 0x30}},
      {"update panel", update, 5, 75, {0x10, 0x20, 0x30}},
      {"server button", update, 458, 41, {0x80, 0x40, 0xC0}},
      // A successful version check fills the bar.
      {"progress fill", update, 370, 54, {0x00, 0xC0, 0xFF}},
  };
  for (const Probe& probe : probes) {
    SCOPED_TRACE(probe.what);
    EXPECT_TRUE(WaitForColour(probe.window, probe.x, probe.y, probe.colour))
        << ToText(At(probe.window, probe.x, probe.y)) << " instead of " << ToText(probe.colour);
  }
  // The mouse over a button shows its hover look.
  ASSERT_TRUE(screen_->Xdotool("mousemove " + std::to_string(frame.x + 90) + " " +
                               std::to_string(frame.y + 135)));
  EXPECT_TRUE(WaitForColour(frame, 24, 104, {0x40, 0xC0, 0x40}));
  // Text is drawn: the title's glyphs put white into the dark band.
  bool glyphs = false;
  for (int x = 22; x < 120 && !glyphs; x += 2) {
    glyphs = At(frame, x, 20).r > 0x80;
  }
  EXPECT_TRUE(glyphs) << "no title text";
}

TEST_F(LauncherOnScreen, WebPanelsShowTheirPages) {
  const struct {
    const char* windowClass;
    Rgb page;
  } panels[] = {{"UINewsFrame", {0, 0xFF, 0}},
                {"UINews2Frame", {0, 0, 0xFF}},
                {"UITopFrame", {0xFF, 0, 0xFF}}};
  for (const auto& panel : panels) {
    SCOPED_TRACE(panel.windowClass);
    const Geometry g = screen_->Find(panel.windowClass);
    EXPECT_TRUE(WaitForColour(g, g.width / 2, g.height / 2, panel.page, 30))
        << ToText(At(g, g.width / 2, g.height / 2));
  }
  EXPECT_GT(BrowserProcesses(launcher_), 0);
}

TEST_F(LauncherOnScreen, CaptionDragMovesTheFrameAndItsChildren) {
  const Geometry before = Frame();
  ASSERT_TRUE(before.viewable);
  const int x = before.x + 600, y = before.y + 20;
  ASSERT_TRUE(screen_->Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) +
                               " mousedown 1"));
  for (int step = 1; step <= 5; ++step) {
    screen_->Xdotool("mousemove " + std::to_string(x - 20 * step) + " " +
                     std::to_string(y - 10 * step));
  }
  screen_->Xdotool("mouseup 1");
  ASSERT_TRUE(WaitFor([&] {
    const Geometry now = Frame();
    return now.x == before.x - 100 && now.y == before.y - 50;
  })) << "frame at "
      << Frame().x << "," << Frame().y;
  const Geometry frame = Frame();
  for (const Child& child : kChildren) {
    SCOPED_TRACE(child.windowClass);
    EXPECT_TRUE(WaitFor([&] {
      const Geometry g = screen_->Find(child.windowClass);
      return g.x == frame.x + child.dx && g.y == frame.y + child.dy;
    }));
  }
}

TEST_F(LauncherOnScreen, ServerButtonOpensThePopupAndAnItemSavesTheChoice) {
  // The server-list thread has chosen the first server by then.
  ASSERT_TRUE(WaitFor([] { return Setting("ServerSid") == "101"; }, 20));
  const Geometry update = screen_->Find("UIUpdateFrame");
  ASSERT_TRUE(Click(update, 500, 54));
  ASSERT_TRUE(WaitFor([] { return screen_->Find("UIServerListFrame").viewable; }));
  // A press on a web page closes the popup too.
  const Geometry news = screen_->Find("UINewsFrame");
  ASSERT_TRUE(Click(news, news.width / 2, news.height / 2));
  ASSERT_TRUE(WaitFor([] { return !screen_->Find("UIServerListFrame").viewable; }));
  ASSERT_TRUE(Click(update, 500, 54));
  ASSERT_TRUE(WaitFor([] { return screen_->Find("UIServerListFrame").viewable; }));
  const Geometry popup = screen_->Find("UIServerListFrame");
  EXPECT_EQ(popup.height, 2 * 27 + 4);
  // The second row: 2 px inset, 27 px rows.
  ASSERT_TRUE(Click(popup, 40, 2 + 27 + 13));
  EXPECT_TRUE(WaitFor([] { return Setting("ServerSid") == "102"; }));
  EXPECT_EQ(Setting("ServerAddr"), "127.0.0.2");
  EXPECT_TRUE(WaitFor([] { return !screen_->Find("UIServerListFrame").viewable; }));
}

TEST_F(LauncherOnScreen, SettingsDialogRunsModallyAndEscapeCloses) {
  const Geometry frame = Frame();
  ASSERT_TRUE(Click(frame, 90, 120));
  ASSERT_TRUE(WaitFor([] { return screen_->Find("UIGameSettingFrame").viewable; }));
  EXPECT_TRUE(screen_->Find("UIBackGround").viewable);
  const Geometry dialog = screen_->Find("UIGameSettingFrame");
  EXPECT_TRUE(WaitForColour(dialog, 95, 175, {0x30, 0x60, 0xC0}));
  // The frame takes no input while the dialog runs: Enter game does nothing.
  ASSERT_TRUE(Click(frame, 765, 595));
  ASSERT_TRUE(screen_->Xdotool("mousemove " + std::to_string(dialog.x + 5) + " " +
                               std::to_string(dialog.y + 150) + " key Escape"));
  EXPECT_TRUE(WaitFor([] {
    return !screen_->Find("UIGameSettingFrame").viewable && !screen_->Find("UIBackGround").viewable;
  }));
  EXPECT_FALSE(testing_support::PathExists(dir_->File("started.txt")));
}

TEST_F(LauncherOnScreen, EnterGameStartsTheGameAndTheLauncherEndsWithItsBrowsers) {
  const Geometry frame = Frame();
  const pid_t group = launcher_;
  // Enabled once the version check and the server choice are done.
  ASSERT_TRUE(WaitForColour(frame, 765, 595, {0xE0, 0xA0, 0x00}, 20))
      << testing_support::ReadFile(dir_->File("run.log"));
  ASSERT_TRUE(Click(frame, 765, 595));
  EXPECT_TRUE(WaitFor([] {
    return testing_support::ReadFile(dir_->File("started.txt")) == "ws\n";
  })) << testing_support::ReadFile(dir_->File("run.log"));
  EXPECT_TRUE(WaitFor(
      [] {
        if (!Ended(launcher_)) return false;
        launcher_ = -1;
        return true;
      },
      15));
  EXPECT_TRUE(WaitFor([group] { return BrowserProcesses(group) == 0; }));
}

TEST_F(LauncherOnScreen, HeadlessSwitchKeepsTheScreenEmpty) {
  const pid_t headless = StartLauncher({"VELMOR_HEADLESS=1", "VELMOR_LAUNCHER_AUTOCLOSE_MS=1500"});
  ASSERT_GT(headless, 0);
  const bool ended = WaitFor([headless] { return Ended(headless); }, 20);
  if (!ended) kill(-headless, SIGKILL);
  EXPECT_TRUE(ended);
  EXPECT_FALSE(Frame().viewable);
  EXPECT_NE(testing_support::ReadFile(dir_->File("run.log")).find("launcher Init!"),
            std::string::npos);
}

TEST_F(LauncherOnScreen, WorkerMessageBoxIsModalOnScreenAndAnswered) {
  // A patch whose digest does not match: the update library, on the update
  // thread, shows its error box; the launcher shows it on the UI thread.
  server_->Serve("/a.txt", HttpResponse{200, "not what the manifest promised"});
  server_->Serve("/update.xml",
                 HttpResponse{200,
                              "<?xml version=\"1.0\"?><update><patch><version value=\"1.1\"/>"
                              "<filedetails name=\"a.txt\" url=\"" +
                                  server_->Url("/a.txt") +
                                  "\" local=\"data\" hash=\"00000000000000000000000000000000\"/>"
                                  "</patch></update>"});
  launcher_ = StartLauncher({});
  ASSERT_GT(launcher_, 0);
  ASSERT_TRUE(WaitFor([] { return screen_->FindTitled("错误").viewable; }, 30));
  const Geometry box = screen_->FindTitled("错误");
  // Enter answers the box; the launcher then ends, as after any mismatch.
  ASSERT_TRUE(screen_->Xdotool("mousemove " + std::to_string(box.x + box.width / 2) + " " +
                               std::to_string(box.y + 5) + " key Return"));
  EXPECT_TRUE(WaitFor([&box] { return !screen_->Viewable(box.id); }));
  kill(-launcher_, SIGKILL);
  int status;
  waitpid(launcher_, &status, 0);
  launcher_ = -1;
}

}  // namespace
}  // namespace gui_test
