// Web views come from a module of their own, libskinui_web.so beside the
// program: WebKit and the libraries it brings are about half of what real
// windows load, so they are loaded only once the windows are on the screen.
// UI thread only.
#pragma once

#include <wx/gdicmn.h>

class wxWebView;
class wxWindow;

namespace skinui {

// Loads the module, once; false when it is missing or unusable (pages are
// then not shown).
bool LoadWebViews();

// A new web view in `parent` at `rect`, showing nothing yet; nullptr when
// the module is not loaded or the browser could not start.
wxWebView* NewWebView(wxWindow* parent, const wxRect& rect);

}  // namespace skinui
