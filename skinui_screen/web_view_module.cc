// The module libskinui_web.so (skinui_screen/web_views.h): the one entry
// point that needs the browser's libraries at link time.
#include <wx/webview.h>

extern "C" __attribute__((visibility("default"))) wxWebView* VelmorNewWebView(wxWindow* parent,
                                                                              int x, int y,
                                                                              int width,
                                                                              int height) {
  return wxWebView::New(parent, wxID_ANY, wxWebViewDefaultURLStr, wxPoint(x, y),
                        wxSize(width, height), wxWebViewBackendDefault, wxBORDER_NONE);
}
