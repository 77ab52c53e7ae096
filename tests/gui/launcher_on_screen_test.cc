// The real launcher on a virtual screen: one launcher process against
// loopback servers, driven with the mouse and the keyboard, read back through
// window geometry, stacking and pixels. The cases run in order on the same
// launcher: each leaves it where the next one starts. The program runs twice
// in CI: without a window manager and, with VELMOR_GUI_WINDOW_MANAGER=openbox,
// under openbox.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/gui/screen_probe.h"
#include "tests/support/http_server.h"
#include "tests/support/temp_dir.h"

namespace gui_test {
namespace {

namespace fs = std::filesystem;
using testing_support::HttpResponse;

// Offsets of the frame's children in the plain layout, the test skins'
// sizes and a point of each that shows the skin's own colour; see
// tests/gui/skin.
struct Child {
  const char* windowClass;
  int dx, dy, width, height;
  int probeX, probeY;
  Rgb skin;
};
const Rgb kPanelSkin{0x60, 0x30, 0x10};
const Child kChildren[] = {
    {"UINewsFrame", 199, 323, 290, 230, 145, 115, kPanelSkin},
    {"UINews2Frame", 499, 323, 290, 230, 145, 115, kPanelSkin},
    {"UITopFrame", 189, 197, 600, 120, 300, 60, kPanelSkin},
    {"UIUpdateFrame", 106, 580, 590, 80, 5, 75, {0x10, 0x20, 0x30}},
};
constexpr int kFrameWidth = 1000, kFrameHeight = 690;
const Rgb kFrameSkin{0x20, 0x40, 0x60};
const Rgb kWindowed{0x40, 0xA0, 0xA0}, kFullScreen{0x40, 0x40, 0x40};  // "FullScreenOption"
const Rgb kEnterGameEnabled{0xE0, 0xA0, 0x00};
const Rgb kWhite{0xFF, 0xFF, 0xFF};

bool UnderOpenbox() {
  const char* manager = std::getenv("VELMOR_GUI_WINDOW_MANAGER");
  return manager && std::string(manager) == "openbox";
}

// Processes of the launcher's process group whose name starts with
// "WebKit" (the browser's web and network processes).
int BrowserProcesses(pid_t group) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (getpgid(std::stoi(name)) != group) continue;
    if (testing_support::ReadFile(entry.path().string() + "/comm").rfind("WebKit", 0) == 0) {
      ++count;
    }
  }
  return count;
}

std::string Page(const char* colour, const std::string& body = "") {
  return std::string("<!DOCTYPE html><html><body style=\"margin:0;background:") + colour + "\">" +
         body + "</body></html>";
}

class LauncherOnScreen : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    screen_ = new VirtualScreen(1280, 1024, UnderOpenbox());
    server_ = new testing_support::LoopbackHttpServer;
    dir_ = new testing_support::TempDir;
    if (!screen_->Started() || !server_->running()) return;
    ServeUpdate("");
    server_->Serve("/ServerList.xml",
                   HttpResponse{200,
                                "<?xml version=\"1.0\"?><velmor><area pid=\"1\" name=\"A\">"
                                "<server sid=\"101\" name=\"One\" address=\"127.0.0.1\" "
                                "chargeIp=\"127.0.0.1\" port=\"7001\" state=\"1\"/>"
                                "<server sid=\"102\" name=\"Two\" address=\"127.0.0.2\" "
                                "chargeIp=\"127.0.0.2\" port=\"7002\" state=\"1\"/>"
                                "</area></velmor>"});
    // The news page starts a download as soon as it is shown.
    server_->Serve("/left.html",
                   HttpResponse{200,
                                Page("#00FF00",
                                     "<a id=\"d\" href=\"big.bin\" download>get</a><script>"
                                     "document.getElementById('d').click();</script>"),
                                {},
                                "text/html"});
    server_->Serve("/big.bin", HttpResponse{200, std::string(1 << 20, 'x')});
    server_->Serve("/register.html", HttpResponse{200, Page("#C0FFC0"), {}, "text/html"});

    const fs::path program(VELMOR_GUI_PROGRAM_DIR);
    for (const char* file : {"launcher", "libskinui.so", "libskinui_screen.so", "libskinui_web.so",
                             "libvelmor_platform.so", "libTidewell.so"}) {
      fs::copy_file(program / file, fs::path(dir_->path()) / file);
    }
    fs::copy_file(VELMOR_GUI_REGISTER_LIBRARY, dir_->File("libRegister.so"));
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
    // A page that loads, a host that refuses connections, a missing page.
    const int closed = testing_support::ClosedLoopbackPort();
    testing_support::WriteFile(
        dir_->File("web.ini"),
        "[Web]\nLeftUrl=" + url + "left.html\nRightUrl=http://127.0.0.1:" + std::to_string(closed) +
            "/right.html\nTopUrl=" + url + "missing.html\nRegisterUrl=" + url + "register.html\n");
    WriteGame();
    launcher_ = Start();
  }

  static void TearDownTestSuite() {
    delete launcher_;
    delete dir_;
    delete server_;
    delete screen_;
  }

  void SetUp() override {
    ASSERT_TRUE(screen_->Started()) << "the virtual screen could not be started";
    ASSERT_TRUE(server_->running());
    ASSERT_TRUE(launcher_ && launcher_->Started());
  }

  // The manifest, with `patch` (filedetails) in version 1.1 when given.
  static void ServeUpdate(const std::string& patch) {
    const std::string version = patch.empty() ? "1.0" : "1.1";
    server_->Serve("/update.xml",
                   HttpResponse{200, "<?xml version=\"1.0\"?><update><patch><version value=\"" +
                                         version + "\"/>" + patch +
                                         "</patch><Launcherpatch><version value=\"1.0\"/>"
                                         "</Launcherpatch></update>"});
  }
  // The stand-in game records how it was started.
  static void WriteGame() {
    testing_support::WriteFile(dir_->File("orvo.exe"),
                               "#!/bin/sh\necho \"$*\" > \"$(dirname \"$0\")/started.txt\"\n");
    fs::permissions(dir_->File("orvo.exe"), fs::perms::owner_all);
  }
  static LauncherProcess* Start(const std::vector<std::string>& environment = {},
                                const std::string& programDir = "") {
    return new LauncherProcess(programDir.empty() ? dir_->path() : programDir, screen_->Name(),
                               dir_->path(), dir_->File("stderr.log"), environment);
  }
  // Replaces the shared launcher with a new one (the old one, if any, goes).
  static void Restart() {
    delete launcher_;
    launcher_ = Start();
  }

  static Geometry Frame() { return screen_->Find("UIMainFrame"); }
  static bool MouseTo(const Geometry& window, int x, int y) {
    return screen_->Xdotool("mousemove " + std::to_string(window.x + x) + " " +
                            std::to_string(window.y + y));
  }
  static bool Click(const Geometry& window, int x, int y) {
    return MouseTo(window, x, y) && screen_->Xdotool("click 1");
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
  // Every window of the launcher that is on screen now.
  static std::vector<Geometry> LauncherWindows() {
    std::vector<Geometry> windows;
    for (const char* windowClass :
         {"UIMainFrame", "UINewsFrame", "UINews2Frame", "UITopFrame", "UIUpdateFrame",
          "UIServerListFrame", "UIBackGround", "UIGameSettingFrame", "UIRegisterFrame"}) {
      const Geometry g = screen_->Find(windowClass);
      if (g.viewable) windows.push_back(g);
    }
    return windows;
  }
  // The box titled `title` comes to stand centred on the frame, a window
  // manager's frame around it included (the box is placed again once its
  // text is laid out and its decorations are known), above every launcher
  // window, and came on in its own colour, not showing what lay under it.
  static Geometry ExpectAboveAndCentred(const char* title) {
    Geometry box, framed, frame;
    const bool centred = WaitFor([&] {
      box = screen_->FindTitled(title);
      framed = screen_->Framed(box);
      frame = Frame();
      return box.viewable && std::abs(framed.CentreX() - frame.CentreX()) <= 2 &&
             std::abs(framed.CentreY() - frame.CentreY()) <= 2;
    });
    EXPECT_TRUE(centred) << "box centre " << framed.CentreX() << "," << framed.CentreY()
                         << ", frame centre " << frame.CentreX() << "," << frame.CentreY();
    const Rgb first = screen_->FirstShown(box, 3, box.height - 3);
    EXPECT_TRUE(Near(first, At(box, 3, box.height - 3))) << ToText(first);
    for (const Geometry& window : LauncherWindows()) {
      if (window.id != box.id) {
        EXPECT_TRUE(screen_->StackedAbove(box, window)) << window.id;
      }
    }
    return box;
  }

  static VirtualScreen* screen_;
  static testing_support::LoopbackHttpServer* server_;
  static testing_support::TempDir* dir_;
  static LauncherProcess* launcher_;
};

VirtualScreen* LauncherOnScreen::screen_ = nullptr;
testing_support::LoopbackHttpServer* LauncherOnScreen::server_ = nullptr;
testing_support::TempDir* LauncherOnScreen::dir_ = nullptr;
LauncherProcess* LauncherOnScreen::launcher_ = nullptr;

TEST_F(LauncherOnScreen, FrameIsCentredAndChildrenSitAtTheirOffsetsPaintedFromTheStart) {
  ASSERT_TRUE(WaitFor([] { return Frame().viewable; }, 20)) << "no frame on screen";
  const Geometry frame = Frame();
  EXPECT_EQ(frame.width, kFrameWidth);
  EXPECT_EQ(frame.height, kFrameHeight);
  EXPECT_EQ(frame.x, (1280 - kFrameWidth) / 2);
  EXPECT_EQ(frame.y, (1024 - kFrameHeight) / 2);
  // No window was ever black: each showed its skin the moment it came on.
  EXPECT_TRUE(Near(screen_->FirstShown("UIMainFrame", 60, 300), kFrameSkin))
      << ToText(screen_->FirstShown("UIMainFrame", 60, 300));
  for (const Child& child : kChildren) {
    SCOPED_TRACE(child.windowClass);
    ASSERT_TRUE(WaitFor([&] { return screen_->Find(child.windowClass).viewable; }));
    const Geometry g = screen_->Find(child.windowClass);
    EXPECT_EQ(g.x, frame.x + child.dx);
    EXPECT_EQ(g.y, frame.y + child.dy);
    EXPECT_EQ(g.width, child.width);
    EXPECT_EQ(g.height, child.height);
    const Rgb first = screen_->FirstShown(child.windowClass, child.probeX, child.probeY);
    EXPECT_TRUE(Near(first, child.skin)) << ToText(first);
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
      {"frame background", frame, 60, 300, kFrameSkin},
      {"close button", frame, 965, 20, {0xC0, 0x30, 0x30}},
      {"settings button", frame, 24, 104, {0x30, 0xA0, 0x30}},
      {"update panel", update, 5, 75, {0x10, 0x20, 0x30}},
      {"server button", update, 458, 41, {0x80, 0x40, 0xC0}},
      // A successful version check fills the bar.
      {"progress fill", update, 370, 54, {0x00, 0xC0, 0xFF}},
      // The stored setting (FullScreen=0): windowed.
      {"windowed-mode option", update, 497, 25, kWindowed},
  };
  for (const Probe& probe : probes) {
    SCOPED_TRACE(probe.what);
    EXPECT_TRUE(WaitForColour(probe.window, probe.x, probe.y, probe.colour))
        << ToText(At(probe.window, probe.x, probe.y)) << " instead of " << ToText(probe.colour);
  }
  // The mouse over a button shows its hover look.
  ASSERT_TRUE(MouseTo(frame, 90, 135));
  EXPECT_TRUE(WaitForColour(frame, 24, 104, {0x40, 0xC0, 0x40}));
  // Text is drawn: the title's glyphs put white into the dark band.
  bool glyphs = false;
  for (int x = 22; x < 120 && !glyphs; x += 2) {
    glyphs = At(frame, x, 20).r > 0x80;
  }
  EXPECT_TRUE(glyphs) << "no title text";
}

TEST_F(LauncherOnScreen, APanelShowsItsPageOnceLoadedAndItsSkinOtherwise) {
  const struct {
    const char* windowClass;
    Rgb shown;
  } panels[] = {{"UINewsFrame", {0, 0xFF, 0}},  // loads
                {"UINews2Frame", kPanelSkin},   // its host refuses connections
                {"UITopFrame", kPanelSkin}};    // 404
  const Geometry news = screen_->Find("UINewsFrame");
  // Until the page has loaded the skin shows, and never the browser's white.
  bool white = false;
  EXPECT_TRUE(WaitFor(
      [&] {
        for (const auto& panel : panels) {
          const Geometry g = screen_->Find(panel.windowClass);
          white = white || Near(At(g, g.width / 2, g.height / 2), kWhite);
        }
        return Near(At(news, news.width / 2, news.height / 2), panels[0].shown);
      },
      30))
      << ToText(At(news, news.width / 2, news.height / 2));
  EXPECT_FALSE(white);
  for (const auto& panel : panels) {
    SCOPED_TRACE(panel.windowClass);
    const Geometry g = screen_->Find(panel.windowClass);
    EXPECT_TRUE(Near(At(g, g.width / 2, g.height / 2), panel.shown))
        << ToText(At(g, g.width / 2, g.height / 2));
  }
  EXPECT_GT(BrowserProcesses(launcher_->Group()), 0);
  // The page's download was asked for; whether anything was written is
  // looked at later, once the browser had every chance.
  EXPECT_TRUE(WaitFor([] { return server_->RequestCount("/big.bin") > 0; }));
}

TEST_F(LauncherOnScreen, CaptionDragKeepsTheChildrenAtTheirOffsetsWhileTheButtonIsHeld) {
  const Geometry before = Frame();
  ASSERT_TRUE(before.viewable);
  const int x = before.x + 600, y = before.y + 20;
  ASSERT_TRUE(screen_->Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) +
                               " mousedown 1"));
  for (int step = 1; step <= 5; ++step) {
    screen_->Xdotool("mousemove " + std::to_string(x - 20 * step) + " " +
                     std::to_string(y - 10 * step));
  }
  const auto allInPlace = [&] {
    const Geometry frame = Frame();
    if (frame.x != before.x - 100 || frame.y != before.y - 50) return false;
    for (const Child& child : kChildren) {
      const Geometry g = screen_->Find(child.windowClass);
      if (g.x != frame.x + child.dx || g.y != frame.y + child.dy) return false;
    }
    return true;
  };
  // The pointer is held still, the button still down.
  EXPECT_TRUE(WaitFor(allInPlace)) << "frame at " << Frame().x << "," << Frame().y;
  screen_->Xdotool("mouseup 1");
  EXPECT_TRUE(WaitFor(allInPlace));
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

TEST_F(LauncherOnScreen, TheWindowManagersCloseLeavesThePanelsInPlace) {
  const std::vector<std::string> panels = {"UINewsFrame", "UITopFrame", "UIUpdateFrame"};
  for (const std::string& panel : panels) {
    ASSERT_TRUE(screen_->CloseByWindowManager(screen_->Find(panel))) << panel;
  }
  // Input after the closes is handled after them: once the popup is open,
  // every close has had its answer.
  const Geometry update = screen_->Find("UIUpdateFrame");
  ASSERT_TRUE(Click(update, 500, 54));
  ASSERT_TRUE(WaitFor([] { return screen_->Find("UIServerListFrame").viewable; }));
  for (const std::string& panel : panels) EXPECT_TRUE(screen_->Find(panel).viewable) << panel;
  EXPECT_FALSE(launcher_->Ended());
  ASSERT_TRUE(Click(update, 500, 54));
  EXPECT_TRUE(WaitFor([] { return !screen_->Find("UIServerListFrame").viewable; }));
}

TEST_F(LauncherOnScreen, SettingsDialogRunsModallyKeepsTheWindowedModeInStepAndEscapeCloses) {
  const Geometry frame = Frame();
  const Geometry update = screen_->Find("UIUpdateFrame");
  ASSERT_TRUE(Click(frame, 90, 120));
  ASSERT_TRUE(WaitFor([] { return screen_->Find("UIGameSettingFrame").viewable; }));
  EXPECT_TRUE(screen_->Find("UIBackGround").viewable);
  const Geometry dialog = screen_->Find("UIGameSettingFrame");
  EXPECT_TRUE(WaitForColour(dialog, 95, 175, {0x30, 0x60, 0xC0}));
  // Both show the stored windowed mode; a tick in the dialog changes both.
  EXPECT_TRUE(WaitForColour(dialog, 22, 60, kWindowed));
  ASSERT_TRUE(Click(dialog, 100, 51));
  EXPECT_TRUE(WaitForColour(update, 497, 25, kFullScreen));
  // The frame takes no input while the dialog runs: Enter game does nothing.
  ASSERT_TRUE(Click(frame, 765, 595));
  ASSERT_TRUE(MouseTo(dialog, 5, 150));
  ASSERT_TRUE(screen_->Focus(dialog) && screen_->Xdotool("key Escape"));
  EXPECT_TRUE(WaitFor([] {
    return !screen_->Find("UIGameSettingFrame").viewable && !screen_->Find("UIBackGround").viewable;
  }));
  EXPECT_FALSE(testing_support::PathExists(dir_->File("started.txt")));
  EXPECT_TRUE(Near(At(update, 497, 25), kFullScreen));
}

TEST_F(LauncherOnScreen, SettingsDialogClosedByTheWindowManagerActsAsCancel) {
  const Geometry frame = Frame();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    // The settings button works again after the first round.
    ASSERT_TRUE(Click(frame, 90, 120));
    ASSERT_TRUE(WaitFor([] { return screen_->Find("UIGameSettingFrame").viewable; }));
    ASSERT_TRUE(screen_->CloseByWindowManager(screen_->Find("UIGameSettingFrame")));
    EXPECT_TRUE(WaitFor([] {
      return !screen_->Find("UIGameSettingFrame").viewable &&
             !screen_->Find("UIBackGround").viewable;
    }));
  }
  EXPECT_TRUE(WaitForColour(frame, 24, 104, {0x40, 0xC0, 0x40}));  // enabled, under the mouse
}

TEST_F(LauncherOnScreen, SignUpWindowOpensAboveEveryLauncherWindowAndEscapeClosesIt) {
  const Geometry frame = Frame();
  ASSERT_TRUE(Click(frame, 90, 170));
  ASSERT_TRUE(WaitFor([] { return screen_->Find("UIRegisterFrame").viewable; }));
  const Geometry signUp = screen_->Find("UIRegisterFrame");
  for (const Geometry& window : LauncherWindows()) {
    if (window.id != signUp.id) {
      EXPECT_TRUE(screen_->StackedAbove(signUp, window)) << window.id;
    }
  }
  EXPECT_TRUE(WaitForColour(signUp, 200, 200, {0xC0, 0xFF, 0xC0}, 30));  // the page
  ASSERT_TRUE(MouseTo(signUp, 379, 15));
  EXPECT_TRUE(WaitForColour(signUp, 368, 6, {0xE0, 0x60, 0x60}));  // the close button's hover
  ASSERT_TRUE(screen_->Focus(signUp) && screen_->Xdotool("key Escape"));
  EXPECT_TRUE(WaitFor([] { return !screen_->Find("UIRegisterFrame").viewable; }));
}

TEST_F(LauncherOnScreen, EnterGameStartsTheGameAndTheLauncherEndsWithItsBrowsers) {
  const Geometry frame = Frame();
  const pid_t group = launcher_->Group();
  // Enabled once the version check and the server choice are done.
  ASSERT_TRUE(WaitForColour(frame, 765, 595, kEnterGameEnabled, 20))
      << testing_support::ReadFile(dir_->File("run.log"));
  ASSERT_TRUE(Click(frame, 765, 595));
  EXPECT_TRUE(WaitFor([] {
    return testing_support::ReadFile(dir_->File("started.txt")) == "ws\n";
  })) << testing_support::ReadFile(dir_->File("run.log"));
  EXPECT_TRUE(WaitFor([] { return launcher_->Ended(); }, 15));
  EXPECT_TRUE(WaitFor([group] { return BrowserProcesses(group) == 0; }));
  // The news page's download left nothing in the player's home.
  for (const auto& entry : fs::recursive_directory_iterator(dir_->path())) {
    EXPECT_EQ(entry.path().filename().string().rfind("big.bin", 0), std::string::npos)
        << entry.path();
  }
}

TEST_F(LauncherOnScreen, AnsweredBoxLetsTheLauncherGoOnWithoutPointerMotion) {
  // Without the game, Enter game tells the player so and the launcher ends.
  fs::remove(dir_->File("orvo.exe"));
  Restart();
  ASSERT_TRUE(WaitFor([] { return Frame().viewable; }, 20));
  const Geometry frame = Frame();
  ASSERT_TRUE(WaitForColour(frame, 765, 595, kEnterGameEnabled, 20));
  ASSERT_TRUE(Click(frame, 765, 595));
  ASSERT_TRUE(WaitFor([] { return screen_->FindTitled("错误").viewable; }));
  const Geometry box = ExpectAboveAndCentred("错误");
  // Off every window of the launcher, and there the pointer stays.
  ASSERT_TRUE(screen_->Xdotool("mousemove 0 0"));
  ASSERT_TRUE(screen_->Focus(box));
  const auto answered = std::chrono::steady_clock::now();
  ASSERT_TRUE(screen_->Xdotool("key Return"));
  EXPECT_TRUE(WaitFor([] { return launcher_->Ended(); }, 15));
  std::printf("answered box to the launcher's end: %lld ms\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - answered)
                                         .count()));
  WriteGame();
}

TEST_F(LauncherOnScreen, WorkerMessageBoxOpensAboveEveryLauncherWindowAndIsAnswered) {
  // A patch whose digest does not match: the update library, on the update
  // thread, shows its error box; the launcher shows it on the UI thread.
  server_->Serve("/a.txt", HttpResponse{200, "not what the manifest promised"});
  ServeUpdate("<filedetails name=\"a.txt\" url=\"" + server_->Url("/a.txt") +
              "\" local=\"data\" hash=\"00000000000000000000000000000000\"/>");
  Restart();
  ASSERT_TRUE(WaitFor([] { return screen_->FindTitled("错误").viewable; }, 30));
  // The windows that open after the box stay below it too.
  ASSERT_TRUE(WaitFor([] { return screen_->Find("UIUpdateFrame").viewable; }));
  const Geometry box = ExpectAboveAndCentred("错误");
  // Enter answers the box; the launcher then ends, as after any mismatch.
  ASSERT_TRUE(screen_->Focus(box) && screen_->Xdotool("key Return"));
  EXPECT_TRUE(WaitFor([&box] { return !screen_->Viewable(box.id); }));
  EXPECT_TRUE(WaitFor([] { return launcher_->Ended(); }, 15));
  ServeUpdate("");
}

TEST_F(LauncherOnScreen, HeadlessSwitchKeepsTheScreenEmpty) {
  std::unique_ptr<LauncherProcess> headless(
      Start({"VELMOR_HEADLESS=1", "VELMOR_LAUNCHER_AUTOCLOSE_MS=1500"}));
  ASSERT_TRUE(headless->Started());
  EXPECT_TRUE(WaitFor([&] { return headless->Ended(); }, 20));
  EXPECT_FALSE(Frame().viewable);
  EXPECT_NE(testing_support::ReadFile(dir_->File("run.log")).find("launcher Init!"),
            std::string::npos);
}

TEST_F(LauncherOnScreen, WithoutItsScreenModuleTheLauncherSaysWhyAndEnds) {
  const std::string program = dir_->File("no-screen");
  fs::create_directory(program);
  for (const char* file : {"launcher", "libskinui.so", "libvelmor_platform.so", "bt.dat"}) {
    fs::copy_file(dir_->File(file), program + "/" + file);
  }
  std::unique_ptr<LauncherProcess> launcher(Start({}, program));
  ASSERT_TRUE(WaitFor([&] { return launcher->Ended(); }, 20));
  EXPECT_EQ(launcher->ExitStatus(), 1);
  for (const std::string& text : {testing_support::ReadFile(program + "/run.log"),
                                  testing_support::ReadFile(dir_->File("stderr.log"))}) {
    EXPECT_NE(text.find("Can't show the launcher on display " + screen_->Name() + ": " + program +
                        "/libskinui_screen.so"),
              std::string::npos)
        << text;
  }
}

TEST_F(LauncherOnScreen, AFrameWiderThanTheScreenKeepsItsCloseButtonOnIt) {
  // 900 px wide: the 960-px frame of the _720 layout.
  VirtualScreen narrow(900, 800, UnderOpenbox());
  ASSERT_TRUE(narrow.Started());
  std::unique_ptr<LauncherProcess> launcher(
      new LauncherProcess(dir_->path(), narrow.Name(), dir_->path(), dir_->File("stderr.log")));
  ASSERT_TRUE(WaitFor([&] { return narrow.Find("UIMainFrame").viewable; }, 20));
  const Geometry frame = narrow.Find("UIMainFrame");
  EXPECT_EQ(frame.width, 960);
  EXPECT_EQ(frame.x + frame.width, 900);
  EXPECT_GE(frame.y, 0);
  EXPECT_TRUE(WaitFor([&] {
    return Near(narrow.Pixel(frame.x + 925, frame.y + 20), {0xC0, 0x30, 0x30});
  }));
}

}  // namespace
}  // namespace gui_test
