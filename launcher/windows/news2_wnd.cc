#include "launcher/windows/news2_wnd.h"

#include "launcher/frame/launcher_frame_wnd.h"

CStdString UINews2Wnd::SkinFile() const {
  return SkinForLayout(frame ? frame->layoutMode : 0, "news2.xml", "news2_720.xml",
                       "news2_600.xml");
}

wxString UINews2Wnd::PageUrl() const {
  if (!frame) return wxString();
  return PageForLayout(frame->layoutMode, frame->rightUrl, frame->right600Url);
}
