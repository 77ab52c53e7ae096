#include "launcher/windows/web_panel_wnd.h"

#include "launcher/windows/child_window_host.h"
#include "launcher/windows/server_list_wnd.h"
#include "skinui/activex.h"

WebPanelWnd::WebPanelWnd(const WebPanelKind& kind)
    : SkinnedWindow({"ButtonUI"}, true), kind_(kind) {}

CStdString WebPanelWnd::SkinFile() const {
  return SkinForLayout(frame ? frame->layoutMode : 0, kind_.skin, kind_.skin720, kind_.skin600);
}

wxString WebPanelWnd::PageUrl() const {
  if (!frame) return wxString();
  return PageForLayout(frame->layoutMode, frame->*kind_.url, frame->*kind_.url600);
}

const wxString& WebPanelWnd::PageForLayout(int layoutMode, const wxString& url,
                                           const wxString& url600) {
  return layoutMode == 2 ? url600 : url;
}

void WebPanelWnd::InitWindow() {
  CControlUI* control = Find("IE");
  auto* activeX = control ? static_cast<CActiveXUI*>(control->GetInterface("ActiveX")) : nullptr;
  if (!activeX) return;
  IWebBrowser2* browser = nullptr;
  const HRESULT hr = activeX->GetControl(IID_IWebBrowser2, reinterpret_cast<void**>(&browser));
  if (FAILED(hr) || !browser) return;
  // An empty URL goes to the browser as it is; the result is not examined.
  browser->Navigate(CStdString(PageUrl().utf8_string()));
  browser->Release();
}

void WebPanelWnd::HidePopup() {
  if (frame && frame->serverListWnd) frame->serverListWnd->HideServerListPopup();
}

void WebPanelWnd::Notify(TNotifyUI& msg) {
  if (msg.sType == "click") HidePopup();
}

LRESULT WebPanelWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_MOUSEACTIVATE) {
    const LRESULT result = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    HidePopup();
    return result;
  }
  // Closed only with the frame, never by the window manager's close.
  if (uMsg == WM_SYSCOMMAND && wParam == SC_CLOSE) return 0;
  LRESULT result = 0;
  if (HandleCommonMessage(uMsg, wParam, lParam, result)) return result;
  return DefaultPath(uMsg, wParam, lParam);
}
