#include "launcher/windows/top_wnd.h"

#include "launcher/frame/launcher_frame_wnd.h"

CStdString UITopWnd::SkinFile() const {
  return SkinForLayout(frame ? frame->layoutMode : 0, "top.xml", "top_720.xml",
                       "top_600.xml");
}

wxString UITopWnd::PageUrl() const {
  if (!frame) return wxString();
  return PageForLayout(frame->layoutMode, frame->topUrl, frame->top600Url);
}
