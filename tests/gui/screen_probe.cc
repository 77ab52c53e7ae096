#include "tests/gui/screen_probe.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>

#include "tests/support/wait_until.h"

extern char** environ;

namespace gui_test {

std::string ToText(const Rgb& c) {
  char text[32];
  std::snprintf(text, sizeof(text), "#%02X%02X%02X", c.r & 0xFF, c.g & 0xFF, c.b & 0xFF);
  return text;
}

bool Near(const Rgb& a, const Rgb& b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

VirtualScreen::VirtualScreen() {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return;
  const std::string fd = std::to_string(pipeFds[1]);
  std::vector<std::string> args = {"Xvfb", "-displayfd", fd,  "-noreset",    "-nolisten",
                                   "tcp",  "-screen",    "0", "1280x1024x24"};
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int status = posix_spawnp(&server_, "Xvfb", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (status != 0) {
    server_ = -1;
    close(pipeFds[0]);
    return;
  }
  // The server writes its display number once it accepts connections.
  std::string number;
  pollfd wait{pipeFds[0], POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    if (poll(&wait, 1, 200) <= 0) continue;
    char buffer[16];
    const ssize_t got = read(pipeFds[0], buffer, sizeof(buffer));
    if (got <= 0) break;
    number.append(buffer, static_cast<size_t>(got));
    if (number.find('\n') != std::string::npos) break;
  }
  close(pipeFds[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
  if (!number.empty()) display_ = ":" + number;
}

VirtualScreen::~VirtualScreen() {
  if (server_ <= 0) return;
  kill(server_, SIGTERM);
  int status;
  waitpid(server_, &status, 0);
}

std::string VirtualScreen::Run(const std::string& command) const {
  const std::string line = "DISPLAY=" + display_ + " " + command + " 2>/dev/null";
  FILE* pipe = popen(line.c_str(), "r");
  if (!pipe) return std::string();
  std::string out;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, got);
  pclose(pipe);
  return out;
}

Geometry VirtualScreen::Find(const std::string& windowClass) const {
  return FindLine("\\(\"" + windowClass + "\" \"" + windowClass + "\"\\)");
}

Geometry VirtualScreen::FindTitled(const std::string& title) const {
  return FindLine("\"" + title + "\": ");
}

Geometry VirtualScreen::FindLine(const std::string& pattern) const {
  // One line per top-level window: id "name": ("res" "class")  WxH+x+y  +X+Y
  const std::string tree = Run("xwininfo -root -children");
  const std::regex line("(0x[0-9a-f]+) [^\\n]*" + pattern +
                        "[^\\n]*?\\s(\\d+)x(\\d+)\\+(-?\\d+)\\+(-?\\d+)");
  for (std::sregex_iterator it(tree.begin(), tree.end(), line), end; it != end; ++it) {
    const std::string info = Run("xwininfo -id " + (*it)[1].str());
    if (info.find("IsViewable") == std::string::npos) continue;
    Geometry g;
    g.id = (*it)[1].str();
    g.width = std::stoi((*it)[2]);
    g.height = std::stoi((*it)[3]);
    g.x = std::stoi((*it)[4]);
    g.y = std::stoi((*it)[5]);
    g.viewable = true;
    return g;
  }
  return Geometry{};
}

bool VirtualScreen::Viewable(const std::string& id) const {
  return Run("xwininfo -id " + id).find("IsViewable") != std::string::npos;
}

Rgb VirtualScreen::Pixel(int x, int y) const {
  const std::string bytes = Run("import -window root -crop 1x1+" + std::to_string(x) + "+" +
                                std::to_string(y) + " -depth 8 rgb:-");
  if (bytes.size() < 3) return Rgb{};
  return Rgb{static_cast<unsigned char>(bytes[0]), static_cast<unsigned char>(bytes[1]),
             static_cast<unsigned char>(bytes[2])};
}

bool VirtualScreen::Xdotool(const std::string& arguments) const {
  const std::string line = "DISPLAY=" + display_ + " xdotool " + arguments + " >/dev/null 2>&1";
  return std::system(line.c_str()) == 0;
}

bool WaitFor(const std::function<bool()>& done, double seconds) {
  return testing_support::WaitUntil(done,
                                    std::chrono::milliseconds(static_cast<long>(seconds * 1000)));
}

}  // namespace gui_test
