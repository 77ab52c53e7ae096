// The top banner over the main frame: skin "top.xml" (_720 and _600 by
// layout mode), page web.ini TopUrl (Top600Url in layout mode 2).
#pragma once

#include "launcher/windows/web_panel_wnd.h"

class UITopWnd : public WebPanelWnd {
 public:
  UITopWnd() : WebPanelWnd(kKind) {}

 private:
  static constexpr WebPanelKind kKind{"UITopFrame",          "top.xml",
                                      "top_720.xml",         "top_600.xml",
                                      &LauncherUrls::topUrl, &LauncherUrls::top600Url};
};
