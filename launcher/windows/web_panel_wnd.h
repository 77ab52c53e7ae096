// The family of web panels over the main frame: each shows one page from
// web.ini in its browser control "IE", navigated once on creation, and
// closes the server-list popup when it is clicked. The panels differ only
// in their data (WebPanelKind).
#pragma once

#include <wx/string.h>

#include "launcher/config/launcher_urls.h"
#include "launcher/windows/skinned_window.h"

class ChildWindowHost;

// What tells one web panel from another: its window class, its skin by
// layout mode and its page (`url600` in layout mode 2, else `url`).
struct WebPanelKind {
  const char* windowClassName;
  const char* skin;
  const char* skin720;
  const char* skin600;
  wxString LauncherUrls::*url;
  wxString LauncherUrls::*url600;
};

class WebPanelWnd : public SkinnedWindow {
 public:
  // Set by the frame before the window is created.
  ChildWindowHost* frame = nullptr;

  void Notify(TNotifyUI& msg) override;

  // The page for the frame's layout mode: `url600` in mode 2, else `url`.
  static const wxString& PageForLayout(int layoutMode, const wxString& url, const wxString& url600);

 protected:
  explicit WebPanelWnd(const WebPanelKind& kind);

  const char* GetWindowClassName() const override { return kind_.windowClassName; }
  CStdString SkinFile() const override;
  UINT GetClassStyle() const override { return kPopupClassStyle; }
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  // Navigates the browser once.
  void InitWindow() override;

 private:
  // The page this panel shows.
  wxString PageUrl() const;
  void HidePopup();

  const WebPanelKind& kind_;
};
