// The top banner over the main frame: skin "top.xml" (_720 and _600 by layout
// mode), page web.ini TopUrl (Top600Url in layout mode 2).
#pragma once

#include "launcher/windows/web_panel_wnd.h"

class UITopWnd : public WebPanelWnd {
 protected:
  const char* GetWindowClassName() const override { return "UITopFrame"; }
  CStdString SkinFile() const override;
  wxString PageUrl() const override;
};
