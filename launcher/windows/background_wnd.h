// The settings window's backdrop: a modal window the frame opens over itself
// when "GameSetBtn" is clicked. As soon as it is ready it opens the settings
// dialog over itself. It deletes itself when its window is destroyed.
#pragma once

#include "launcher/windows/skinned_window.h"

class ChildWindowHost;

class UIBackGroundWnd : public SkinnedWindow {
 public:
  UIBackGroundWnd();

  // Set by the frame before the window is created.
  ChildWindowHost* frame = nullptr;

  void Notify(TNotifyUI& msg) override;
  // Opens the settings dialog modally over this window.
  void OpenSettingDialog();

 protected:
  const char* GetWindowClassName() const override { return "UIBackGround"; }
  UINT GetClassStyle() const override { return kPopupClassStyle; }
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  CStdString SkinFile() const override { return "backGround.xml"; }
  void OnFinalMessage(HWND hwnd) override;
};
