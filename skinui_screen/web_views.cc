#include "skinui_screen/web_views.h"

#include <cstdio>
#include <string>

#include "platform/program.h"
#include "platform/shared_library.h"

namespace skinui {
namespace {

// Never unloaded: the browser cannot be taken out of a running process.
VelmorNewWebViewFunction g_newWebView = nullptr;
VelmorLoadPageFunction g_loadPage = nullptr;
bool g_tried = false;

}  // namespace

bool LoadWebViews() {
  if (g_tried) return g_newWebView != nullptr;
  g_tried = true;
  platform::Result<platform::SharedLibrary> module =
      platform::SharedLibrary::Load(platform::ProgramDirectory() + "libskinui_web.so");
  if (!module) {
    std::fprintf(stderr, "web views unavailable: %s\n", module.error().message.c_str());
    return false;
  }
  auto* kept = new platform::SharedLibrary(module.release());
  platform::Result<void*> make = kept->Symbol("VelmorNewWebView");
  platform::Result<void*> load = kept->Symbol("VelmorLoadPage");
  if (!make || !load) return false;
  g_newWebView = reinterpret_cast<VelmorNewWebViewFunction>(make.value());
  g_loadPage = reinterpret_cast<VelmorLoadPageFunction>(load.value());
  return true;
}

wxWindow* NewWebView(wxWindow* parent, const wxRect& rect, const VelmorWebViewHooks& hooks) {
  if (!g_newWebView) return nullptr;
  return g_newWebView(parent, rect.x, rect.y, rect.width, rect.height, &hooks);
}

void LoadPage(wxWindow* view, const std::string& url) {
  if (g_loadPage && view) g_loadPage(view, url.c_str());
}

}  // namespace skinui
