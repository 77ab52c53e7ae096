// The left news panel over the main frame: skin "news.xml" (_720 and _600 by layout
// mode), page web.ini LeftUrl (Left600Url in layout mode 2).
#pragma once

#include "launcher/windows/web_panel_wnd.h"

class UINewsWnd : public WebPanelWnd {
 protected:
  const char* GetWindowClassName() const override { return "UINewsFrame"; }
  CStdString SkinFile() const override;
  wxString PageUrl() const override;
};
