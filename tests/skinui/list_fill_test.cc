// Filling lists: numbering, selection and positions after many adds, and the
// put-off layout of a container answering exactly as an immediate one would.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "skinui/skinui.h"
#include "tests/skinui/skin_test_window.h"
#include "tests/support/skinui/test_hooks.h"

namespace {

using skinui_test::MakeWindow;
using skinui_test::SkinTestWindow;

CListLabelElementUI* NewItem(const std::string& text, int fixedHeight = 0) {
  auto* item = new CListLabelElementUI;
  item->SetText(text);
  if (fixedHeight > 0) item->SetFixedHeight(fixedHeight);
  return item;
}

CListLabelElementUI* ItemAt(CListUI& list, int index) {
  CControlUI* control = list.GetItemAt(index);
  return control ? static_cast<CListLabelElementUI*>(control->GetInterface("ListLabelElement"))
                 : nullptr;
}

TEST(ListFillTest, TwentyThousandItemsKeepTheirNumbersSelectionAndPlaces) {
  constexpr int kItems = 20000;
  constexpr int kRow = 10;
  CListUI list;
  list.Layout(RECT{5, 7, 105, 7 + kRow * (kItems + 2)});
  for (int i = 0; i < kItems; ++i) ASSERT_TRUE(list.Add(NewItem("n" + std::to_string(i), kRow)));
  ASSERT_TRUE(list.SelectItem(100));
  // Inserting before the selection moves it along; after it leaves it be.
  ASSERT_TRUE(list.AddAt(NewItem("first", kRow), 0));
  ASSERT_TRUE(list.AddAt(NewItem("middle", kRow), 10001));
  ASSERT_EQ(list.GetCount(), kItems + 2);
  EXPECT_EQ(list.GetCurSel(), 101);

  for (int i = 0; i < list.GetCount(); ++i) {
    CListLabelElementUI* item = ItemAt(list, i);
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(item->GetIndex(), i);
    ASSERT_EQ(item->GetOwner(), &list);
    ASSERT_EQ(item->IsSelected(), i == 101) << i;
    ASSERT_TRUE(item->GetPos() == (RECT{5, 7 + i * kRow, 105, 7 + (i + 1) * kRow})) << i;
  }
  EXPECT_EQ(ItemAt(list, 101)->GetText(), "n100");
  EXPECT_EQ(ItemAt(list, 10001)->GetText(), "middle");

  // Points find the item drawn there, the last one included.
  EXPECT_EQ(list.FindControlAt(POINT{50, 7 + 10001 * kRow + 3}), list.GetItemAt(10001));
  EXPECT_EQ(list.FindControlAt(POINT{50, 7 + (kItems + 1) * kRow + 9}), list.GetItemAt(kItems + 1));

  // Removing renumbers the rest and keeps the selection on its item.
  ASSERT_TRUE(list.Remove(list.GetItemAt(0)));
  EXPECT_EQ(list.GetCurSel(), 100);
  EXPECT_TRUE(ItemAt(list, 100)->IsSelected());
  EXPECT_EQ(ItemAt(list, kItems)->GetIndex(), kItems);
  ASSERT_TRUE(ItemAt(list, 7)->Select());
  EXPECT_FALSE(ItemAt(list, 100)->IsSelected());
  EXPECT_EQ(list.GetCurSel(), 7);
}

TEST(ListFillTest, AContainerWithoutRoomIsNotLaidOutByAnAdd) {
  CVerticalLayoutUI box;  // never laid out: no rectangle yet
  CControlUI* child = new CControlUI;
  child->SetAttribute("pos", "3,4,13,24");
  ASSERT_TRUE(box.Add(child));
  EXPECT_TRUE(child->GetPos() == (RECT{3, 4, 13, 24}));
}

const char kSkin[] =
    "<Window size=\"300,300\">"
    "  <VerticalLayout name=\"Root\">"
    "    <VerticalLayout name=\"Box\" float=\"true\" pos=\"10,20,210,220\" inset=\"0,100,0,0\">"
    "      <List name=\"domainlist\"/>"
    "    </VerticalLayout>"
    "  </VerticalLayout>"
    "</Window>";

// The list fills 10,120 - 210,220 of the client area; items share its height.
class ListFillWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skinui::DiscardPendingMessages();
    window_ = MakeWindow(kSkin, 100, 100, 0, 0);
    list_ = static_cast<CListUI*>(window_->paintManager.FindControl("domainlist"));
    ASSERT_NE(list_, nullptr);
    ASSERT_TRUE(list_->GetPos() == (RECT{10, 120, 210, 220}));
  }
  void TearDown() override {
    skinui::DestroyWindow(window_->GetHWND());
    delete window_;
    skinui::DiscardPendingMessages();
  }
  void AddItems(int count) {
    for (int i = 0; i < count; ++i) ASSERT_TRUE(list_->Add(NewItem("i" + std::to_string(i))));
  }
  int Top(int index) { return list_->GetItemAt(index)->GetPos().top; }
  CPaintManagerUI& pm() { return window_->paintManager; }

  SkinTestWindow* window_ = nullptr;
  CListUI* list_ = nullptr;
};

TEST_F(ListFillWindowTest, PositionsReadRightAfterAddsAreLaidOut) {
  AddItems(4);
  // Found by point before anything asked for a position.
  EXPECT_EQ(pm().FindControl(POINT{50, 200}), list_->GetItemAt(3));
  EXPECT_TRUE(list_->GetItemAt(3)->GetPos() == (RECT{10, 195, 210, 220}));

  ASSERT_TRUE(list_->AddAt(NewItem("new"), 0));
  EXPECT_EQ(pm().FindControl(POINT{50, 125}), list_->GetItemAt(0));
  EXPECT_EQ(Top(1), 140);
  EXPECT_EQ(Top(4), 200);

  // The window's own press goes to the item now drawn at the point.
  ASSERT_TRUE(list_->Add(NewItem("sixth")));
  window_->notifications.clear();
  skinui::test::ClickAt(window_->GetHWND(), POINT{50, 215});
  EXPECT_EQ(list_->GetCurSel(), 5);
  ASSERT_FALSE(window_->notifications.empty());
  EXPECT_EQ(window_->notifications.back().first, "itemselect");
}

TEST_F(ListFillWindowTest, ChangesAfterAnAddSeeTheLayoutOfThatAdd) {
  AddItems(4);  // 25 each
  // A new height waits for the next layout, as it always did.
  list_->GetItemAt(0)->SetFixedHeight(50);
  EXPECT_EQ(Top(1), 145);
  pm().Relayout();
  EXPECT_EQ(Top(1), 170);  // 50, then (100 - 50) / 3 each

  AddItems(1);  // 50 + 4 * 12
  // A removal leaves the others where the last layout put them.
  ASSERT_TRUE(list_->Remove(list_->GetItemAt(4)));
  EXPECT_EQ(Top(3), 120 + 50 + 2 * 12);
  EXPECT_EQ(pm().FindControl(POINT{50, 210}), list_);  // left empty by the removal

  // Hiding an item or changing the box's inset waits as well.
  AddItems(1);
  list_->GetItemAt(2)->SetVisible(false);
  CControlUI* box = pm().FindControl("Box");
  box->SetAttribute("inset", "0,0,0,0");
  EXPECT_EQ(Top(3), 120 + 50 + 2 * 12);
  pm().Relayout();
  EXPECT_EQ(Top(0), 20);
  EXPECT_EQ(Top(3), 20 + 50 + (200 - 50) / 3);  // the hidden item takes no room
}

TEST_F(ListFillWindowTest, AWorkerFillsWhileTheUiThreadHitTests) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    // The list is the UI thread's: the worker hands each fill over.
    for (int round = 0; round < 20; ++round) {
      skinui::PostToUiThread([this] {
        list_->RemoveAll();
        for (int i = 0; i < 50; ++i) list_->Add(NewItem("w" + std::to_string(i)));
      });
    }
    done = true;
  });
  for (int i = 0; i < 2000 && !done; ++i) {
    skinui::PumpPendingMessages();
    const int y = 120 + i % 100;
    CControlUI* control = pm().FindControl(POINT{50, y});
    if (control && control != list_) {
      const RECT pos = control->GetPos();
      EXPECT_LE(pos.top, y);
      EXPECT_GT(pos.bottom, y);
    }
  }
  worker.join();
  skinui::PumpPendingMessages();
  ASSERT_EQ(list_->GetCount(), 50);
  EXPECT_EQ(Top(49), 120 + 49 * 2);  // 100 pixels shared by 50 items
}

}  // namespace
