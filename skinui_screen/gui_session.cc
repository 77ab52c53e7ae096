#include "skinui_screen/gui_session.h"

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdio>
#include <cstdlib>

#include "platform/desktop.h"
#include "skinui/headless_request.h"
#include "skinui/native_backend.h"
#include "skinui_screen/screen_backend.h"
#include "skinui_screen/screen_desktop.h"
#include "skinui_screen/skin_images.h"
#include "skinui_screen/skin_painter.h"
#include "skinui_screen/x11_screen.h"

namespace skinui {
namespace {

// Log messages of wxWidgets itself go to standard error, never into a
// dialog of their own.
class SkinAppTraits final : public wxGUIAppTraits {
 public:
  wxLog* CreateLogTarget() override { return new wxLogStderr; }
  bool ShowAssertDialog(const wxString& message) override {
    std::fprintf(stderr, "wx assertion: %s\n", message.utf8_str().data());
    return false;
  }
};

class SkinApp final : public wxApp {
 public:
  SkinApp() { SetExitOnFrameDelete(false); }
  wxAppTraits* CreateTraits() override { return new SkinAppTraits; }
  bool OnInit() override { return true; }
};

void LogAssertion(const wxString& file, int line, const wxString& function,
                  const wxString& condition, const wxString& message) {
  std::fprintf(stderr, "wx assertion at %s:%d (%s): %s %s\n", file.utf8_str().data(), line,
               function.utf8_str().data(), condition.utf8_str().data(), message.utf8_str().data());
}

wxGUIEventLoop* g_loop = nullptr;
ScreenBackend* g_backend = nullptr;
ScreenDesktop* g_desktop = nullptr;
platform::Desktop* g_previousDesktop = nullptr;

}  // namespace

GuiSession::GuiSession(int& argc, char** argv) {
  // The display is tried before GTK sees it: a GTK start on a display that
  // cannot be opened is not undone cleanly.
  if (HeadlessAsked() || !X11DisplayOpens()) return;
  // Wayland gives no global window positions, which owned windows need.
  setenv("GDK_BACKEND", "x11", 1);
  // Spares about 50 MB per page where no GPU helps.
  setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
  wxSetAssertHandler(LogAssertion);
  wxApp::SetInstance(new SkinApp);
  if (!wxInitialize(argc, argv)) {
    // wxInitialize counted itself although the GUI did not start: finish
    // that count with the console start the frame would have made.
    wxApp::SetInstance(nullptr);
    initialised_ = wxEntryStart(argc, argv);
    return;
  }
  initialised_ = true;
  active_ = true;
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  PrepareSkinFonts();
  g_loop = new wxGUIEventLoop;
  wxEventLoopBase::SetActive(g_loop);
  g_backend = new ScreenBackend;
  SetScreenBackend(g_backend);
  SetNativeBackend(g_backend);
  g_desktop = new ScreenDesktop(&platform::CurrentDesktop());
  g_previousDesktop = platform::SetDesktop(g_desktop);
}

GuiSession::~GuiSession() {
  if (active_) {
    SetNativeBackend(nullptr);
    SetScreenBackend(nullptr);
    g_backend->DestroyAll();
    ForgetSkinImages();
    // The desktop stays allocated: a worker ended by a timeout may still
    // hold it.
    platform::SetDesktop(g_previousDesktop);
    wxEventLoopBase::SetActive(nullptr);
  }
  if (initialised_) wxUninitialize();
}

}  // namespace skinui
