// The module's two entry points, looked up by the launcher program when a
// display is named (launcher/main.cc): the toolkit and its browser are
// loaded only then, so a headless start never pays for them.
#include "skinui_screen/gui_session.h"

extern "C" __attribute__((visibility("default"))) void* VelmorScreenStart(int* argc, char** argv) {
  return new skinui::GuiSession(*argc, argv);
}

extern "C" __attribute__((visibility("default"))) void VelmorScreenStop(void* session) {
  delete static_cast<skinui::GuiSession*>(session);
}
