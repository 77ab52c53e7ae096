// A skinned window for the UI layer's tests: builds its skin on WM_CREATE the
// way the launcher's windows do, and records what it receives.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "skinui/skinui.h"

namespace skinui_test {

class SkinTestWindow : public CWindowWnd, public INotifyUI {
 public:
  // `skin`: a skin file name or the skin text itself.
  explicit SkinTestWindow(std::string skin = std::string(), bool deleteOnFinal = false)
      : skin_(std::move(skin)), deleteOnFinal_(deleteOnFinal) {}

  CPaintManagerUI paintManager;
  std::vector<std::pair<std::string, std::string>> notifications;  // type, sender name
  std::vector<UINT> messages;
  // Runs first on every message; answer true to end the handling.
  std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)> onMessage;
  std::function<void(TNotifyUI&)> onNotify;
  bool* finalFlag = nullptr;  // set to true by the final step

  void Notify(TNotifyUI& msg) override {
    notifications.emplace_back(msg.sType, msg.pSender ? msg.pSender->GetName() : std::string());
    if (onNotify) onNotify(msg);
  }

 protected:
  const char* GetWindowClassName() const override { return "SkinTestWindow"; }
  UINT GetClassStyle() const override { return CS_DBLCLKS; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    messages.push_back(message);
    LRESULT result = 0;
    if (onMessage && onMessage(message, wParam, lParam, result)) return result;
    if (message == WM_CREATE) {
      paintManager.Init(GetHWND());
      if (!skin_.empty()) {
        CDialogBuilder builder;
        CControlUI* root = builder.Create(skin_, nullptr, nullptr, &paintManager);
        paintManager.AttachDialog(root);
      }
      paintManager.AddNotifier(this);
      return 0;
    }
    if (paintManager.MessageHandler(message, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(message, wParam, lParam);
  }

  void OnFinalMessage(HWND) override {
    if (finalFlag) *finalFlag = true;
    if (deleteOnFinal_) delete this;
  }

 private:
  std::string skin_;
  bool deleteOnFinal_;
};

// A window with a rectangle of its own, visible, no owner.
inline SkinTestWindow* MakeWindow(const std::string& skin, int x, int y, int cx, int cy,
                                  HWND owner = nullptr) {
  auto* window = new SkinTestWindow(skin);
  window->Create(owner, "", WS_POPUP | WS_VISIBLE, 0, x, y, cx, cy);
  return window;
}

}  // namespace skinui_test
