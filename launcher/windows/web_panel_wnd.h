// The family of web panels over the main frame: each shows one page from
// web.ini in its browser control "IE", navigated once on creation, and
// closes the server-list popup when it is clicked.
#pragma once

#include "launcher/windows/skinned_window.h"

#include <wx/string.h>

class LauncherFrameWnd;

class WebPanelWnd : public SkinnedWindow {
 public:
  // Set by the frame before the window is created.
  LauncherFrameWnd* frame = nullptr;

  void Notify(TNotifyUI& msg) override;

  // The page for the frame's layout mode: `url600` in mode 2, else `url`.
  static const wxString& PageForLayout(int layoutMode, const wxString& url,
                                       const wxString& url600);

 protected:
  WebPanelWnd();

  // The page this panel shows.
  virtual wxString PageUrl() const = 0;

  UINT GetClassStyle() const override { return kPopupClassStyle; }
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  // Navigates the browser once.
  void InitWindow() override;

 private:
  void HidePopup();
};
