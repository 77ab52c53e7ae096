// The launcher's entry point; start-up and shut-down live in win_main.cc.
// The session decides between real windows and the headless model before
// anything of wxWidgets or of the windows starts.
#include "launcher/win_main.h"
#include "skinui/backend/gui_session.h"

int main(int argc, char** argv) {
  skinui::GuiSession screen(argc, argv);
  return WinMain();
}
