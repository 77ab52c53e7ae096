// The drop-down list of servers above the update panel's "ServerBtn". It
// holds the list "domainlist", grows upwards from a fixed bottom line as the
// list fills (27 pixels a row, at most five rows) and hides itself when a
// server is clicked or the player clicks elsewhere. UI thread only.
#pragma once

#include "launcher/windows/skinned_window.h"

class CListUI;
class ChildWindowHost;

class UIServerListWnd : public SkinnedWindow {
 public:
  UIServerListWnd();

  // The update panel's y offset from the frame's top, copied by Init.
  int anchorY = 0;
  // Set by the frame before the window is created.
  ChildWindowHost* frame = nullptr;
  // "domainlist"; nullptr when the skin has none.
  CListUI* domainList = nullptr;

  // Places and sizes the popup for the number of items in domainList.
  void LayoutServerListPopup();
  // Closes the popup while it is open (while "ServerBtn" is selected).
  void HideServerListPopup();

  void Notify(TNotifyUI& msg) override;

  // The height and y offset the layout gives for `itemCount` items below
  // `anchorY`.
  static int PopupHeight(int itemCount);
  static int PopupOffsetY(int anchorY, int itemCount);

 protected:
  const char* GetWindowClassName() const override { return "UIServerListFrame"; }
  UINT GetClassStyle() const override { return kPopupClassStyle; }
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  CStdString SkinFile() const override { return "serverList.xml"; }
  void InitWindow() override;
};
