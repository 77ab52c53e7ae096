// Web views come from a module of their own, libskinui_web.so beside the
// program: WebKit and the libraries it brings are about half of what real
// windows load, so they are loaded only once the windows are on the screen.
// The screen module sees a view as a plain window (web_view_api.h).
// UI thread only.
#pragma once

#include <wx/gdicmn.h>

#include <string>

#include "skinui_screen/web_view_api.h"

class wxWindow;

namespace skinui {

// Loads the module, once; false when it is missing or unusable (pages are
// then not shown).
bool LoadWebViews();

// A new hidden web view in `parent` at `rect` that tells `hooks` about its
// page; nullptr when the module is not loaded or the browser could not
// start.
wxWindow* NewWebView(wxWindow* parent, const wxRect& rect, const VelmorWebViewHooks& hooks);
// Loads `url` into a view made by NewWebView.
void LoadPage(wxWindow* view, const std::string& url);

}  // namespace skinui
