// The launcher's entry point; start-up and shut-down live in win_main.cc.
// Real windows live in the module libskinui_screen.so beside the program,
// loaded only when a display is named and headless is not asked for: the
// toolkit and its browser bring about 200 libraries, which a headless start
// never loads. The module decides between real windows and the headless
// model before anything of wxWidgets or of the windows starts. A display
// named with a module that cannot be loaded (a run-time package missing)
// ends the launcher with the reason in run.log and on standard error: a
// launcher without windows where the player expects them would stay
// behind unseen.
#include <wx/init.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "launcher/system/instance_path.h"
#include "launcher/system/run_log.h"
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
    if (!module) {
      failure_ = module.error().message;
      return;
    }
    module_ = new platform::SharedLibrary(module.release());
    platform::Result<void*> start = module_->Symbol("VelmorScreenStart");
    platform::Result<void*> stop = module_->Symbol("VelmorScreenStop");
    if (!start || !stop) {
      failure_ = (start ? stop : start).error().message;
      return;
    }
    stop_ = reinterpret_cast<StopFunction>(stop.value());
    session_ = reinterpret_cast<StartFunction>(start.value())(&argc, argv);
  }
  ~ScreenSession() {
    if (session_) stop_(session_);
  }

  // Why a named display gets no windows; empty when nothing failed.
  const std::string& failure() const { return failure_; }

  ScreenSession(const ScreenSession&) = delete;
  ScreenSession& operator=(const ScreenSession&) = delete;

 private:
  platform::SharedLibrary* module_ = nullptr;
  StopFunction stop_ = nullptr;
  void* session_ = nullptr;
  std::string failure_;
};

// The reason goes to run.log (opened as every start opens it) and to
// standard error.
void ReportNoWindows(const std::string& reason) {
  const std::string text =
      std::string("Can't show the launcher on display ") + std::getenv("DISPLAY") + ": " + reason;
  std::fprintf(stderr, "%s\n", text.c_str());
  wxInitializer wx;
  SetInstancePath(wxString::FromUTF8(platform::ProgramDirectory()));
  RunLogHandle log{nullptr};
  OpenRunLog(log);
  LogPlainError(wxString::FromUTF8(text));
  CloseRunLog(log);
}

}  // namespace

int main(int argc, char** argv) {
  ScreenSession screen(argc, argv);
  if (!screen.failure().empty()) {
    ReportNoWindows(screen.failure());
    return 1;
  }
  return WinMain();
}
