#include "launcher/windows/news_wnd.h"

#include "launcher/frame/launcher_frame_wnd.h"

CStdString UINewsWnd::SkinFile() const {
  return SkinForLayout(frame ? frame->layoutMode : 0, "news.xml", "news_720.xml",
                       "news_600.xml");
}

wxString UINewsWnd::PageUrl() const {
  if (!frame) return wxString();
  return PageForLayout(frame->layoutMode, frame->leftUrl, frame->left600Url);
}
