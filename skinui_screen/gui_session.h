// Real windows for the skinui window model, chosen once at start-up.
//
// A GuiSession opens the display before wxWidgets starts its GUI: when a
// display can be opened (and VELMOR_HEADLESS is unset or "0"), wxWidgets
// runs on GTK 3 over X11, every model window gets a native window, message
// boxes become real modal boxes and the display mode is the real screen's.
// Otherwise the headless model runs alone, exactly as without a session.
//
// Either way wxWidgets is initialised once here, so the frame's own
// wxInitialize only counts up: a GUI start that fails falls back to the
// console initialisation instead of leaving the count without a start.
// wx assertions and GUI log messages never open a dialog; they go to
// standard error (or to whatever log target the launcher installs).
//
// UI thread only: construct before the first window, destroy after the last.
#pragma once

namespace skinui {

class GuiSession {
 public:
  GuiSession(int& argc, char** argv);
  ~GuiSession();
  GuiSession(const GuiSession&) = delete;
  GuiSession& operator=(const GuiSession&) = delete;

 private:
  bool initialised_ = false;
  bool active_ = false;
};

}  // namespace skinui
