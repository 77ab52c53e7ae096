// The settings dialog: windowed or full screen ("FullScreenOption", selected
// for windowed display) and one of four resolutions, each an option with its
// code ("pel800_600" "0", "pel1024_768" "1", "pel1280_800" "2",
// "pel1280_768" "3"). "OkBtn" stores the choice in resolution.ini through
// GameSettings().Save(); "CancelBtn" closes without storing the resolution.
// Runs modally over its background window and deletes itself when its
// window is destroyed.
#pragma once

#include "launcher/windows/skinned_window.h"

class COptionUI;
class UIBackGroundWnd;

class UIGameSettingWnd : public SkinnedWindow {
 public:
  UIGameSettingWnd();
  ~UIGameSettingWnd() override;

  COptionUI* fullScreenOption = nullptr;
  COptionUI* resolutionOptions[4] = {nullptr, nullptr, nullptr, nullptr};
  // Set before the window is created.
  UIBackGroundWnd* backGround = nullptr;
  // The resolution code chosen in this dialog.
  CStdString pendingResolution;

  void Notify(TNotifyUI& msg) override;

  // The dialog that is open now, nullptr when none (UI thread).
  static UIGameSettingWnd* OpenDialog();

  static constexpr const char* kResolutionOptionNames[4] = {"pel800_600", "pel1024_768",
                                                            "pel1280_800", "pel1280_768"};
  static constexpr const char* kResolutionCodes[4] = {"0", "1", "2", "3"};

 protected:
  const char* GetWindowClassName() const override { return "UIGameSettingFrame"; }
  UINT GetClassStyle() const override { return kPopupClassStyle; }
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  CStdString SkinFile() const override { return "setting.xml"; }
  void InitWindow() override;
  void OnFinalMessage(HWND hwnd) override;

 private:
  void CloseBoth();
};
