#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/desktop.h"
#include "skinui/skinui.h"
#include "tests/skinui/skin_test_window.h"
#include "tests/support/skinui/test_hooks.h"

namespace {

using skinui_test::MakeWindow;
using skinui_test::SkinTestWindow;

class MessageLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skinui::DiscardPendingMessages();
    previousDesktop_ = platform::SetDesktop(nullptr);  // the default desktop
  }
  void TearDown() override {
    platform::SetDesktop(previousDesktop_);
    skinui::DiscardPendingMessages();
  }
  platform::Desktop* previousDesktop_ = nullptr;
};

TEST_F(MessageLoopTest, EndsAtAQuitPostedFromAnotherThread) {
  std::thread worker([] { skinui::PostQuitMessage(9); });
  EXPECT_EQ(skinui::RunMessageLoop(), 9);
  worker.join();
  EXPECT_FALSE(skinui::IsMessageLoopRunning());

  // A quit posted to a window ends the loop as well.
  SkinTestWindow* window = MakeWindow("", 0, 0, 10, 10);
  std::thread poster([hwnd = window->GetHWND()] { skinui::PostMessage(hwnd, WM_QUIT, 4, 0); });
  EXPECT_EQ(skinui::RunMessageLoop(), 4);
  poster.join();
  const HWND gone = window->GetHWND();
  skinui::DestroyWindow(gone);
  delete window;
  // A worker posting to a window that is gone is told so.
  bool posted = true;
  std::thread([&posted, gone] { posted = skinui::PostMessage(gone, WM_USER); }).join();
  EXPECT_FALSE(posted);
}

// A worker hands its changes over; what it hands over for an owner that is
// gone by the time it comes up does nothing. Windows and controls check
// their thread in debug builds.
TEST_F(MessageLoopTest, TasksOfAGoneOwnerDoNothingAndControlsStayOnTheUiThread) {
  int ran = 0;
  {
    skinui::UiTaskRunner runner;
    runner.Post([&ran] { ++ran; });
    std::thread([&runner, &ran] { runner.Post([&ran] { ++ran; }); }).join();
    EXPECT_EQ(skinui::PumpPendingMessages(), 2);
    runner.Post([&ran] { ++ran; });
  }
  EXPECT_EQ(skinui::PumpPendingMessages(), 1);
  EXPECT_EQ(ran, 2);

  skinui::ThreadChecker checker;
  bool elsewhere = true;
  std::thread([&] { elsewhere = checker.CalledOnValidThread(); }).join();
  EXPECT_FALSE(elsewhere);
  EXPECT_TRUE(checker.CalledOnValidThread());
  checker.DetachFromThread();  // binds to the next thread checked
  std::thread([&] { elsewhere = checker.CalledOnValidThread(); }).join();
  EXPECT_TRUE(elsewhere);
  EXPECT_FALSE(checker.CalledOnValidThread());
#ifndef NDEBUG
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  CControlUI control;
  EXPECT_DEATH(std::thread([&control] { control.SetText("x"); }).join(), "used off its thread");
#endif
}

TEST_F(MessageLoopTest, PostQuitThroughTheDesktopEndsThePaintManagersLoop) {
  std::atomic<bool> ran{false};
  skinui::PostToUiThread([&ran] {
    ran = true;
    std::thread([] { platform::CurrentDesktop().PostQuit(5); }).detach();
  });
  EXPECT_EQ(CPaintManagerUI::MessageLoop(), 5);
  EXPECT_TRUE(ran);
}

TEST_F(MessageLoopTest, TasksAndMessagesRunInOrderOnTheLoopThread) {
  SkinTestWindow* window = MakeWindow("", 0, 0, 10, 10);
  const HWND hwnd = window->GetHWND();
  std::vector<std::string> order;
  window->onMessage = [&order](UINT message, WPARAM, LPARAM, LRESULT&) {
    if (message == WM_USER) order.push_back("message");
    return false;
  };
  const std::thread::id loopThread = std::this_thread::get_id();
  std::thread::id taskThread;
  std::thread worker([&] {
    skinui::PostToUiThread([&] {
      order.push_back("task");
      taskThread = std::this_thread::get_id();
    });
    skinui::PostMessage(hwnd, WM_USER);
    skinui::PostToUiThread([] { skinui::PostQuitMessage(0); });
  });
  EXPECT_EQ(skinui::RunMessageLoop(), 0);
  worker.join();
  EXPECT_EQ(order, (std::vector<std::string>{"task", "message"}));
  EXPECT_EQ(taskThread, loopThread);

  // A message for a window destroyed before the loop reaches it is dropped.
  window->onMessage = nullptr;
  skinui::PostMessage(hwnd, WM_USER);
  skinui::DestroyWindow(hwnd);
  skinui::PumpPendingMessages();
  EXPECT_EQ(order.size(), 2u);
  delete window;
}

const char kPanel[] =
    "<Window size=\"300,80\"><VerticalLayout>"
    "<Text name=\"ProgressTxt\"/><Progress name=\"ProgressCtrl\" max=\"100\"/>"
    "<Button name=\"EnterGameBtn\"/><List name=\"domainlist\"/>"
    "</VerticalLayout></Window>";

TEST_F(MessageLoopTest, AWorkerChangesControlsWhileTheLoopRuns) {
  SkinTestWindow* window = MakeWindow(kPanel, 0, 0, 0, 0);
  CPaintManagerUI& pm = window->paintManager;
  auto* bar = static_cast<CProgressUI*>(pm.FindControl("ProgressCtrl"));
  CControlUI* text = pm.FindControl("ProgressTxt");
  CControlUI* enter = pm.FindControl("EnterGameBtn");
  auto* list = static_cast<CListUI*>(pm.FindControl("domainlist"));
  ASSERT_TRUE(bar && text && enter && list);

  std::atomic<int> reads{0};
  std::atomic<bool> stop{false};
  // The UI thread keeps reading what the worker writes, as painting would.
  std::function<void()> reader = [&] {
    const int value = bar->GetValue();
    EXPECT_GE(value, 0);
    EXPECT_LE(value, 100);
    (void)text->GetText();
    (void)enter->IsEnabled();
    for (int i = 0; i < list->GetCount(); ++i) (void)list->GetItemAt(i)->GetText();
    ++reads;
    if (!stop) skinui::PostToUiThread(reader);
  };
  skinui::PostToUiThread(reader);

  std::thread worker([&] {
    // The controls are the UI thread's: each change is handed over, and the
    // worker never waits for it.
    for (int i = 0; i <= 100; ++i) {
      skinui::PostToUiThread([=] {
        bar->SetValue(i);
        text->SetText(std::to_string(i) + "%");
        enter->SetEnabled(i % 2 == 0);
        if (i % 10 == 0) list->RemoveAll();
        auto* item = new CListLabelElementUI;
        if (list->Add(item)) {
          item->SetText("server");
        } else {
          delete item;
        }
      });
    }
    stop = true;
    skinui::PostQuitMessage(0);
  });
  EXPECT_EQ(CPaintManagerUI::MessageLoop(), 0);
  worker.join();
  EXPECT_EQ(text->GetText(), "100%");
  EXPECT_EQ(list->GetCount(), 1);
  EXPECT_GT(reads.load(), 0);
  skinui::DestroyWindow(window->GetHWND());
  delete window;
}

}  // namespace
