// The right news panel over the main frame: skin "news2.xml" (_720 and _600 by
// layout mode), page web.ini RightUrl (Right600Url in layout mode 2).
#pragma once

#include "launcher/windows/web_panel_wnd.h"

class UINews2Wnd : public WebPanelWnd {
 public:
  UINews2Wnd() : WebPanelWnd(kKind) {}

 private:
  static constexpr WebPanelKind kKind{"UINews2Frame",          "news2.xml",
                                      "news2_720.xml",         "news2_600.xml",
                                      &LauncherUrls::rightUrl, &LauncherUrls::right600Url};
};
