// The first frame with a display: from starting the launcher to the moment
// the screen shows its main window drawn from the skin. Needs an X display
// of its own, without a window manager (bench/run.sh starts Xvfb): other
// windows over the launcher would change what is read back.
//
// "Drawn" is judged against the picture the same program directory settles
// on in an untimed start: the frame is on screen once kMatchShare of the
// main window's pixels that stay visible (not under the launcher's other
// windows) show their final colours. The rest allows for what changes while
// the launcher checks for updates (texts, the Enter-game button). Also
// reported: when the window was mapped, and when the whole picture (child
// windows and their web pages included) was complete.
#include <benchmark/benchmark.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_paths.h"
#include "bench/launcher_run.h"
#include "bench/screen_watch.h"

namespace velmor_bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr char kMainWindowClass[] = "UIMainFrame";
constexpr double kMatchShare = 0.95;
constexpr double kCompleteShare = 0.99;
constexpr int kTolerance = 8;  // per colour channel
constexpr auto kWaitLimit = std::chrono::seconds(10);
constexpr auto kSettleLimit = std::chrono::seconds(20);
constexpr auto kSettleStep = std::chrono::milliseconds(300);

struct Reference {
  ScreenRect rect;
  std::vector<uint32_t> pixels;  // the settled picture of the main window's rectangle
  std::vector<bool> own;         // not under another window of the launcher
  size_t ownTotal = 0;
};

bool Near(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int difference =
        static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF);
    if (difference > kTolerance || difference < -kTolerance) return false;
  }
  return true;
}

std::vector<bool> Uncovered(const ScreenRect& rect, const std::vector<ScreenRect>& above) {
  std::vector<bool> counted(static_cast<size_t>(rect.width) * rect.height, true);
  for (const ScreenRect& cover : above) {
    const int left = std::max(cover.x, rect.x) - rect.x;
    const int right = std::min(cover.x + cover.width, rect.x + rect.width) - rect.x;
    const int top = std::max(cover.y, rect.y) - rect.y;
    const int bottom = std::min(cover.y + cover.height, rect.y + rect.height) - rect.y;
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) counted[static_cast<size_t>(y) * rect.width + x] = false;
    }
  }
  return counted;
}

// Whether at least `share` of the main window's own pixels (`ownOnly`) or
// of all pixels in its rectangle are as in the reference. Read while the
// launcher draws: a picture far from it is given up on early.
bool Matches(const Reference& reference, const std::vector<uint32_t>& pixels, bool ownOnly,
             double share) {
  if (pixels.size() != reference.pixels.size()) return false;
  const size_t total = ownOnly ? reference.ownTotal : pixels.size();
  const auto allowed = static_cast<size_t>((1 - share) * static_cast<double>(total));
  size_t differing = 0;
  for (size_t i = 0; i < pixels.size() && differing <= allowed; ++i) {
    if ((!ownOnly || reference.own[i]) && !Near(pixels[i], reference.pixels[i])) ++differing;
  }
  return total > 0 && differing <= allowed;
}

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Ends the launcher and waits for its windows to leave the screen.
bool EndAndClear(ScreenWatch& screen, pid_t pid) {
  EndLauncher(pid);
  const auto deadline = Clock::now() + kWaitLimit;
  while (screen.Find(kMainWindowClass)) {
    if (!screen.WaitForChange(deadline)) return false;
  }
  return true;
}

// An untimed start, left until the main window's rectangle stays the same
// from one look to the next; that picture is the reference.
bool TakeReference(ScreenWatch& screen, const std::string& program, Reference* reference) {
  const std::string log = program + "run.log";
  fs::remove(log);
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  inotify_add_watch(watch, program.c_str(), IN_CREATE | IN_MODIFY);
  const auto deadline = Clock::now() + kSettleLimit;
  const pid_t pid = StartLauncher(program);
  bool settled = false;
  if (pid > 0 && WaitForLine(watch, log, kPreparedLine, deadline)) {
    Reference last;
    while (!settled && Clock::now() < deadline) {
      std::this_thread::sleep_for(kSettleStep);
      const std::optional<ScreenRect> rect = screen.Find(kMainWindowClass);
      if (!rect) continue;
      Reference now;
      now.rect = *rect;
      now.pixels = screen.Capture(*rect);
      now.own = Uncovered(*rect, screen.WindowsOver(kMainWindowClass));
      settled = !now.pixels.empty() && now.rect == last.rect && now.own == last.own &&
                now.pixels == last.pixels;
      last = std::move(now);
    }
    *reference = std::move(last);
  }
  close(watch);
  if (!EndAndClear(screen, pid) || !settled) return false;
  for (bool own : reference->own) reference->ownTotal += own;
  return true;
}

struct FirstFrame {
  double mapped = -1;    // the main window viewable, with its class
  double painted = -1;   // its pixels on the screen
  double complete = -1;  // the whole picture on the screen
};

FirstFrame TimeFirstFrame(ScreenWatch& screen, const std::string& program,
                          const Reference& reference) {
  screen.WaitForChange(Clock::now());  // what the last run left is not news
  FirstFrame result;
  const auto start = Clock::now();
  const pid_t pid = StartLauncher(program);
  const auto deadline = start + kWaitLimit;
  bool placed = false;
  while (pid > 0 && screen.WaitForChange(deadline)) {
    if (!placed) {
      const std::optional<ScreenRect> rect = screen.Find(kMainWindowClass);
      if (!rect) continue;
      if (result.mapped < 0) result.mapped = Since(start);
      placed = *rect == reference.rect;
      if (!placed) continue;
    }
    const std::vector<uint32_t> pixels = screen.Capture(reference.rect);
    const double shown = Since(start);  // the pixels were there by now
    if (result.painted < 0 && Matches(reference, pixels, true, kMatchShare)) result.painted = shown;
    if (result.painted >= 0 && Matches(reference, pixels, false, kCompleteShare)) {
      result.complete = shown;
      break;
    }
  }
  if (!EndAndClear(screen, pid)) result.painted = -1;
  return result;
}

void BM_FirstFrame(benchmark::State& state) {
  ScreenWatch screen;
  if (!screen.Opened()) {
    state.SkipWithError("no X display with Damage (bench/run.sh starts Xvfb)");
    return;
  }
  const std::string program = PrepareLauncherDir("firstframe");
  if (program.empty()) {
    state.SkipWithError("program directory not made");
    return;
  }
  setenv("VELMOR_LAUNCHER_AUTOCLOSE_MS", "30000", 1);  // ends itself if left alone
  unsetenv("VELMOR_HEADLESS");
  Reference reference;
  if (!TakeReference(screen, program, &reference)) {
    state.SkipWithError("the main window did not settle on the screen");
    return;
  }
  for (auto _ : state) {
    const FirstFrame frame = TimeFirstFrame(screen, program, reference);
    if (frame.painted < 0) {
      state.SkipWithError("the main window was not drawn");
      break;
    }
    state.SetIterationTime(frame.painted);
    state.counters["mapped_ms"] = frame.mapped * 1000;
    state.counters["complete_ms"] = frame.complete * 1000;
  }
}
BENCHMARK(BM_FirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace
}  // namespace velmor_bench
