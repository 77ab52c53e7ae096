// The seam to a drawing backend, without a display: a recording backend
// stands in for the toolkit. The loop waits through it and mirrors changes
// with Sync; a worker's change marks only what it changed.
#include "skinui/native_backend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "skinui/skin_values.h"
#include "skinui/skinui.h"
#include "tests/skinui/skin_test_window.h"

namespace {

using skinui_test::MakeWindow;

class RecordingBackend final : public skinui::NativeBackend {
 public:
  void WaitForWork(const std::function<bool()>& ready) override {
    std::unique_lock<std::mutex> lock(mutex_);
    ++waits;
    changed_.wait(lock, [&] { return woken_ || ready(); });
    woken_ = false;
  }
  void Wake() override {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
    changed_.notify_all();
  }
  void Sync() override {
    for (HWND hwnd : skinui::GetZOrder()) {
      for (const RECT& part : skinui::TakeInvalidRects(hwnd)) repainted.push_back(part);
    }
    generations.push_back(skinui::ModelGeneration());
    if (quitWhenRepainted && !repainted.empty()) skinui::PostQuitMessage(0);
  }

  bool quitWhenRepainted = false;

  std::atomic<int> waits{0};
  std::vector<RECT> repainted;  // UI thread
  std::vector<unsigned long> generations;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool woken_ = false;
};

constexpr char kSkin[] =
    "<Window size=\"300,200\" bkcolor=\"#FF102030\">"
    "<Font id=\"3\" name=\"Sans\" size=\"15\" bold=\"true\"/>"
    "<Font id=\"1\" name=\"Serif\" size=\"11\" default=\"true\"/>"
    "<VerticalLayout name=\"root\">"
    "<Progress name=\"bar\" float=\"true\" pos=\"10,150,210,160\" max=\"100\" "
    "forecolor=\"#FF00FF00\" look=\"kept\"/>"
    "<List name=\"list\" float=\"true\" pos=\"10,10,110,64\" itemheight=\"27\"/>"
    "</VerticalLayout></Window>";

class NativeBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skinui::DiscardPendingMessages();
    skinui::SetNativeBackend(&backend_);
    window_ = MakeWindow(kSkin, 0, 0, 0, 0);
    skinui::PumpPendingMessages();
  }
  void TearDown() override {
    skinui::DestroyWindow(window_->GetHWND());
    delete window_;
    skinui::SetNativeBackend(nullptr);
    skinui::DiscardPendingMessages();
  }
  CControlUI* Find(const char* name) { return window_->paintManager.FindControl(name); }

  RecordingBackend backend_;
  skinui_test::SkinTestWindow* window_ = nullptr;
};

TEST_F(NativeBackendTest, WorkerProgressWakesTheLoopAndRepaintsOnlyTheBar) {
  auto* bar = static_cast<CProgressUI*>(Find("bar")->GetInterface("Progress"));
  skinui::PumpPendingMessages();
  backend_.Sync();  // the initial full repaint
  backend_.repainted.clear();
  std::thread worker([bar] {
    // Handed over: the task wakes the loop, and the bar's repaint mark is
    // all that Sync then repaints.
    skinui::PostToUiThread([bar] { bar->SetValue(40); });
  });
  // The loop ends once Sync has seen the bar's repaint.
  backend_.quitWhenRepainted = true;
  EXPECT_EQ(skinui::RunMessageLoop(), 0);
  worker.join();
  EXPECT_GE(backend_.waits.load(), 1);
  ASSERT_EQ(backend_.repainted.size(), 1u);
  EXPECT_TRUE(skinui::EqualRects(backend_.repainted[0], RECT{10, 150, 210, 160}));
}

TEST_F(NativeBackendTest, SkinLooksFontsAndScrollingListsReachTheBackend) {
  EXPECT_EQ(window_->paintManager.GetWindowAttribute("bkcolor"), "#FF102030");
  EXPECT_EQ(Find("bar")->GetAttribute("forecolor"), "#FF00FF00");
  EXPECT_EQ(Find("bar")->GetAttribute("look"), "kept");  // unknown, still kept
  EXPECT_EQ(Find("bar")->GetAttribute("missing"), "");
  const struct {
    int id;
    const char* name;
    int size;
    bool bold;
  } fonts[] = {{3, "Sans", 15, true},
               {1, "Serif", 11, false},
               {-1, "Serif", 11, false},
               {9, "Serif", 11, false}};
  for (const auto& expected : fonts) {
    const SkinFont font = window_->paintManager.GetFont(expected.id);
    EXPECT_EQ(font.name, expected.name) << expected.id;
    EXPECT_EQ(font.size, expected.size) << expected.id;
    EXPECT_EQ(font.bold, expected.bold) << expected.id;
  }

  auto* list = static_cast<CListUI*>(Find("list")->GetInterface("List"));
  for (int i = 0; i < 5; ++i) {
    auto* item = new CListLabelElementUI;
    ASSERT_TRUE(list->Add(item));
  }
  EXPECT_EQ(list->GetItemAt(1)->GetPos().top, 37);
  // Two rows fit; a wheel step down shows the next row, and the view stops
  // at the last one.
  const HWND hwnd = window_->GetHWND();
  const LPARAM over = skinui::MakeLParam(20, 20);
  for (int step = 0; step < 5; ++step) {
    skinui::SendMessage(hwnd, WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<uint16_t>(-120)) << 16,
                        over);
  }
  EXPECT_EQ(list->GetScrollOffset(), 3 * 27);
  EXPECT_EQ(list->GetItemAt(3)->GetPos().top, 10);
  // Scrolled-away rows cannot be hit.
  CControlUI* above = window_->paintManager.FindControl(POINT{20, 5});
  EXPECT_TRUE(above && !above->GetInterface("ListLabelElement"));
  skinui::SendMessage(hwnd, WM_MOUSEWHEEL, static_cast<WPARAM>(120) << 16, over);
  EXPECT_EQ(list->GetScrollOffset(), 2 * 27);
}

TEST(RegionRectanglesTest, RoundCornersCutTheRowsSymmetrically) {
  const struct {
    int width, height, ellipse;
    size_t rects;
  } cases[] = {{100, 50, 0, 1}, {100, 50, 10, 0}, {40, 40, 40, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ellipse);
    const auto rects = skinui::RegionRectangles(
        skinui::CreateRoundRectRegion(0, 0, c.width + 1, c.height + 1, c.ellipse, c.ellipse),
        c.width, c.height);
    if (c.rects) {
      ASSERT_EQ(rects.size(), c.rects);
      EXPECT_TRUE(skinui::EqualRects(rects[0], RECT{0, 0, c.width, c.height}));
      continue;
    }
    ASSERT_FALSE(rects.empty());
    // The corner pixel is cut, the middle row is whole, top and bottom match.
    EXPECT_GT(rects.front().left, 0);
    int covered = 0;
    bool wholeRow = false;
    for (const RECT& r : rects) {
      covered += skinui::RectHeight(r);
      if (r.left == 0 && r.right == c.width) wholeRow = true;
    }
    EXPECT_EQ(covered, c.height);
    EXPECT_TRUE(wholeRow);
    EXPECT_LT(rects.front().left, c.width / 2);
    EXPECT_GT(rects.back().left, 0);
  }
}

}  // namespace

namespace {

TEST(SkinValuesTest, ColoursAndImagesReadOnlyWhatIsWellFormed) {
  const struct {
    const char* text;
    bool ok;
    uint32_t argb;
  } colours[] = {{"#102030", true, 0xFF102030},
                 {"#80102030", true, 0x80102030},
                 {"0xff00ff00", true, 0xFF00FF00},
                 {"#12345", false, 0},
                 {"#GG0000", false, 0},
                 {"102030", false, 0},
                 {"", false, 0},
                 {"#1020304050", false, 0}};
  for (const auto& c : colours) {
    uint32_t argb = 0;
    EXPECT_EQ(skinui::ParseColour(c.text, &argb), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(argb, c.argb) << c.text;
    }
  }
  EXPECT_FALSE(skinui::ParseColour(nullptr, nullptr));

  const struct {
    const char* text;
    const char* file;
    int corner[4];
  } images[] = {{"btn.png", "btn.png", {0, 0, 0, 0}},
                {"file='panel.png' corner='6,7,8,9'", "panel.png", {6, 7, 8, 9}},
                {"file=\"a.png\" corner='-3,2'", "a.png", {0, 2, 0, 0}},
                {"file='unclosed.png", "", {0, 0, 0, 0}},
                {"corner='1,1,1,1'", "", {1, 1, 1, 1}}};
  for (const auto& image : images) {
    const skinui::ImageSpec spec = skinui::ParseImageSpec(image.text);
    EXPECT_EQ(spec.file, image.file) << image.text;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(spec.corner[i], image.corner[i]) << image.text;
  }
}

}  // namespace
