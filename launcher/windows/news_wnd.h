// The left news panel over the main frame: skin "news.xml" (_720 and _600 by
// layout mode), page web.ini LeftUrl (Left600Url in layout mode 2).
#pragma once

#include "launcher/windows/web_panel_wnd.h"

class UINewsWnd : public WebPanelWnd {
 public:
  UINewsWnd() : WebPanelWnd(kKind) {}

 private:
  static constexpr WebPanelKind kKind{"UINewsFrame",          "news.xml",
                                      "news_720.xml",         "news_600.xml",
                                      &LauncherUrls::leftUrl, &LauncherUrls::left600Url};
};
