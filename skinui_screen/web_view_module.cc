// The module libskinui_web.so (skinui_screen/web_view_api.h): the browser's
// side of the web views. A view stays hidden until a page has loaded, so a
// panel shows its skin, never the browser's white error page; and a page
// stays in its panel: no downloads, no navigation but http and https, no
// new windows, no context menu.
#include <webkit2/webkit2.h>
#include <wx/webview.h>

#include <cstring>
#include <string>

#include "skinui_screen/web_view_api.h"

namespace {

bool IsWebAddress(const char* url) {
  return url && (std::strncmp(url, "http://", 7) == 0 || std::strncmp(url, "https://", 8) == 0);
}

// What one view knows of its page; owned by the browser's widget.
struct PageWatch {
  VelmorWebViewHooks hooks{};
  bool failed = false;  // the current load failed or was answered with an error

  void Tell(bool ready) {
    if (hooks.pageReady) hooks.pageReady(hooks.context, ready ? 1 : 0);
  }
};

guint StatusOf(WebKitWebView* view) {
  WebKitWebResource* resource = webkit_web_view_get_main_resource(view);
  WebKitURIResponse* response = resource ? webkit_web_resource_get_response(resource) : nullptr;
  return response ? webkit_uri_response_get_status_code(response) : 0;
}

void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
  auto* watch = static_cast<PageWatch*>(data);
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      watch->failed = false;
      break;
    case WEBKIT_LOAD_COMMITTED:
      // An error status brings the server's error page: never shown.
      if (StatusOf(view) >= 400) {
        watch->failed = true;
        watch->Tell(false);
      }
      break;
    case WEBKIT_LOAD_FINISHED:
      if (!watch->failed && IsWebAddress(webkit_web_view_get_uri(view)) && StatusOf(view) < 400)
        watch->Tell(true);
      break;
    default:
      break;
  }
}

gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error, gpointer data) {
  // A load replaced by another, or a navigation or download refused below,
  // leaves the page that is there.
  if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
      (error && error->domain == WEBKIT_POLICY_ERROR))
    return TRUE;
  auto* watch = static_cast<PageWatch*>(data);
  watch->failed = true;
  watch->Tell(false);
  return TRUE;  // and no error page of the browser's own
}

gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, gpointer) {
  switch (type) {
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION: {
      WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
          WEBKIT_NAVIGATION_POLICY_DECISION(decision));
      const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
      // The view's own empty page is the one other address it opens.
      if (IsWebAddress(uri) || (uri && std::strcmp(uri, "about:blank") == 0)) return FALSE;
      webkit_policy_decision_ignore(decision);
      return TRUE;
    }
    case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION:
      webkit_policy_decision_ignore(decision);
      return TRUE;
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE:
      // What the browser cannot show it would save: refused.
      if (webkit_response_policy_decision_is_mime_type_supported(
              WEBKIT_RESPONSE_POLICY_DECISION(decision)))
        return FALSE;
      webkit_policy_decision_ignore(decision);
      return TRUE;
    default:
      return FALSE;
  }
}

gboolean OnDecideDestination(WebKitDownload* download, gchar*, gpointer) {
  webkit_download_cancel(download);
  return TRUE;
}

// Every download of the browser (an <a download> link among them) ends
// before it has a file.
void OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
  g_signal_connect(download, "decide-destination", G_CALLBACK(OnDecideDestination), nullptr);
  webkit_download_cancel(download);
}

gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                       gpointer) {
  return TRUE;
}

gboolean OnPress(GtkWidget*, GdkEventButton*, gpointer data) {
  const auto* watch = static_cast<PageWatch*>(data);
  return watch->hooks.pressed && watch->hooks.pressed(watch->hooks.context) ? TRUE : FALSE;
}

void RefuseDownloads(WebKitWebContext* context) {
  static const char kKey[] = "velmor-downloads-refused";
  if (g_object_get_data(G_OBJECT(context), kKey)) return;
  g_object_set_data(G_OBJECT(context), kKey, GINT_TO_POINTER(1));
  g_signal_connect(context, "download-started", G_CALLBACK(OnDownloadStarted), nullptr);
}

constexpr char kWatchKey[] = "velmor-page-watch";

}  // namespace

extern "C" __attribute__((visibility("default"))) wxWindow* VelmorNewWebView(
    wxWindow* parent, int x, int y, int width, int height, const VelmorWebViewHooks* hooks) {
  wxWebView* view = wxWebView::New(parent, wxID_ANY, wxWebViewDefaultURLStr, wxPoint(x, y),
                                   wxSize(width, height), wxWebViewBackendDefault, wxBORDER_NONE);
  if (!view) return nullptr;
  view->Hide();
  view->EnableContextMenu(false);
  auto* web = static_cast<WebKitWebView*>(view->GetNativeBackend());
  if (!web) return view;
  auto* watch = new PageWatch;
  if (hooks) watch->hooks = *hooks;
  g_object_set_data_full(G_OBJECT(web), kWatchKey, watch,
                         [](gpointer data) { delete static_cast<PageWatch*>(data); });
  g_signal_connect(web, "load-changed", G_CALLBACK(OnLoadChanged), watch);
  g_signal_connect(web, "load-failed", G_CALLBACK(OnLoadFailed), watch);
  g_signal_connect(web, "decide-policy", G_CALLBACK(OnDecidePolicy), watch);
  g_signal_connect(web, "context-menu", G_CALLBACK(OnContextMenu), watch);
  g_signal_connect(web, "button-press-event", G_CALLBACK(OnPress), watch);
  RefuseDownloads(webkit_web_view_get_context(web));
  // The browser's widget may outlive the window; its window does not hear
  // of it any more.
  view->Bind(wxEVT_DESTROY, [web, watch](wxWindowDestroyEvent& event) {
    event.Skip();
    watch->hooks = VelmorWebViewHooks{};
    g_signal_handlers_disconnect_by_data(web, watch);
  });
  return view;
}

extern "C" __attribute__((visibility("default"))) void VelmorLoadPage(wxWindow* window,
                                                                      const char* url) {
  auto* view = static_cast<wxWebView*>(window);
  auto* web = static_cast<WebKitWebView*>(view->GetNativeBackend());
  auto* watch =
      web ? static_cast<PageWatch*>(g_object_get_data(G_OBJECT(web), kWatchKey)) : nullptr;
  if (!IsWebAddress(url)) {
    if (watch) watch->Tell(false);
    return;
  }
  view->LoadURL(wxString::FromUTF8(url));
}
