// The launcher's entry point; start-up and shut-down live in win_main.cc.
// Real windows live in the module libskinui_screen.so beside the program,
// loaded only when a display is named and headless is not asked for: the
// toolkit and its browser bring about 200 libraries, which a headless start
// never loads. The module decides between real windows and the headless
// model before anything of wxWidgets or of the windows starts.
#include <cstdlib>

#include "launcher/win_main.h"
#include "platform/program.h"
#include "platform/shared_library.h"
#include "skinui/headless_request.h"

namespace {

using StartFunction = void* (*)(int*, char**);
using StopFunction = void (*)(void*);

bool DisplayNamed() {
  const char* display = std::getenv("DISPLAY");
  return display && *display && !skinui::HeadlessAsked();
}

// The screen session of the module, when it could be had. The module is
// never unloaded: the toolkit cannot be taken out of a running process.
class ScreenSession {
 public:
  ScreenSession(int& argc, char** argv) {
    if (!DisplayNamed()) return;
    platform::Result<platform::SharedLibrary> module =
        platform::SharedLibrary::Load(platform::ProgramDirectory() + "libskinui_screen.so");
    if (!module) return;
    module_ = new platform::SharedLibrary(module.release());
    platform::Result<void*> start = module_->Symbol("VelmorScreenStart");
    platform::Result<void*> stop = module_->Symbol("VelmorScreenStop");
    if (!start || !stop) return;
    stop_ = reinterpret_cast<StopFunction>(stop.value());
    session_ = reinterpret_cast<StartFunction>(start.value())(&argc, argv);
  }
  ~ScreenSession() {
    if (session_) stop_(session_);
  }
  ScreenSession(const ScreenSession&) = delete;
  ScreenSession& operator=(const ScreenSession&) = delete;

 private:
  platform::SharedLibrary* module_ = nullptr;
  StopFunction stop_ = nullptr;
  void* session_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  ScreenSession screen(argc, argv);
  return WinMain();
}
