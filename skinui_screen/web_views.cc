#include "skinui_screen/web_views.h"

#include <cstdio>
#include <string>

#include "platform/program.h"
#include "platform/shared_library.h"

namespace skinui {
namespace {

using NewFunction = wxWebView* (*)(wxWindow*, int, int, int, int);

// Never unloaded: the browser cannot be taken out of a running process.
NewFunction g_newWebView = nullptr;
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
  platform::Result<void*> symbol = kept->Symbol("VelmorNewWebView");
  if (!symbol) return false;
  g_newWebView = reinterpret_cast<NewFunction>(symbol.value());
  return true;
}

wxWebView* NewWebView(wxWindow* parent, const wxRect& rect) {
  if (!g_newWebView) return nullptr;
  return g_newWebView(parent, rect.x, rect.y, rect.width, rect.height);
}

}  // namespace skinui
