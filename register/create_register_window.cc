// Register.dll: the account sign-up window the launcher's register button
// shows. Loaded by the launcher when the button is pressed and unloaded as
// soon as CreateRegisterWindow returns.
#include "register/register_url.h"
#include "register/register_wnd.h"
#include "skinui/paint_manager.h"

// `parameter` is not used (the launcher passes null). Returns once the
// player has closed the window; 1 when a window was shown, else 0.
extern "C" __attribute__((visibility("default"))) int CreateRegisterWindow(void* parameter) {
  (void)parameter;
  const std::string programDir = CPaintManagerUI::GetInstancePath();
  register_window::UIRegisterWnd window(register_window::ReadRegisterUrl(programDir));
  return window.ShowAndWait(register_window::FindLauncherFrame()) ? 1 : 0;
}
