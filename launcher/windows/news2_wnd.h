// The right news panel over the main frame: skin "news2.xml" (_720 and _600 by layout
// mode), page web.ini RightUrl (Right600Url in layout mode 2).
#pragma once

#include "launcher/windows/web_panel_wnd.h"

class UINews2Wnd : public WebPanelWnd {
 protected:
  const char* GetWindowClassName() const override { return "UINews2Frame"; }
  CStdString SkinFile() const override;
  wxString PageUrl() const override;
};
