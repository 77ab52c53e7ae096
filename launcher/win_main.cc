#include "launcher/win_main.h"

#include <curl/curl.h>
#include <unistd.h>
#include <wx/socket.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "launcher/frame/launcher_frame_wnd.h"
#include "launcher/system/instance_path.h"
#include "launcher/system/mini_dumper.h"
#include "launcher/system/my_thread.h"
#include "launcher/system/program_directory.h"
#include "launcher/system/run_log.h"
#include "launcher/update/live_patch_holder.h"
#include "launcher/update/update_thread.h"
#include "skinui/paint_manager.h"
#include "skinui/window_system.h"

namespace {

// Closes the frame's window after a delay unless stopped first.
class AutoClose {
 public:
  AutoClose(HWND frame, long milliseconds) {
    if (milliseconds < 0) return;
    thread_ = MiniDumper::StartThread([this, frame, milliseconds] {
      bool stopped;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        stopped = stopped_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                    [this] { return stop_; });
      }
      // Posted without holding the lock: no lock of ours nests another.
      if (!stopped) skinui::PostMessage(frame, WM_CLOSE, 0, 0);
    });
  }
  ~AutoClose() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    stopped_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stop_ = false;
  std::thread thread_;
};

// Milliseconds from the environment, -1 when unset or not a number.
long AutoCloseDelay() {
  const char* text = std::getenv(launcher_main::kAutoCloseVariable);
  if (!text || !*text) return -1;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < 0) return -1;
  return value;
}

// Ends the process where it stands when a worker cannot be waited for:
// nothing it may still use is freed, and no exit-time destructor runs under
// it. Run-log lines are already on disk; each is flushed as it is written.
[[noreturn]] void EndWithWorkersRunning() {
  std::fflush(nullptr);
  _exit(0);
}

void StartUpdateThread(LauncherFrameWnd& frame) {
  StartWorker(frame.Road(), UpdateThread, &frame, "Can't create the update thread!",
              "The UpdateThread run Error!");
}

}  // namespace

namespace launcher_main {

bool StartUp(RoadEnvironment& environment) {
  ResetWorkerStop();
  CPaintManagerUI::SetInstance(nullptr);
  const CStdString programDir = CPaintManagerUI::GetInstancePath();
  const std::optional<wxString> programPath = EnterProgramDirectory(programDir);
  if (!programPath) return false;
  SetInstancePath(*programPath);
  CPaintManagerUI::SetResourcePath(programDir);
  CPaintManagerUI::SetResourceZip("bt.dat");

  auto* frame = new (std::nothrow) LauncherFrameWnd();
  if (!frame) return false;
  frame->roadEnvironment = &environment;
  // WM_CREATE builds the skin, opens the run log and reads the configuration.
  frame->Create(nullptr, kFrameTitle, kFrameStyle, 0, 0, 0, kFrameWidth, kFrameHeight);
  frame->CenterWindow();

  wxSocketBase::Initialize();
  curl_global_init(CURL_GLOBAL_ALL);
  StartUpdateThread(*frame);
  return true;
}

void ShutDown(RoadEnvironment& environment) {
  // Nothing a worker may use is freed before every worker has ended.
  RequestWorkerStop();
  if (!WaitForWorkers(static_cast<unsigned>(environment.Pace().workerShutDownWait.count())))
    EndWithWorkersRunning();
  JoinWorkerThreads();
  // Input queued before the quit (an Enter-game click, say) is dropped.
  skinui::DiscardPendingMessages();

  LauncherFrameWnd* frame = g_pFrame.load();
  if (frame) {
    frame->DestroyChildWindows();
    frame->DestroyWindowForShutDown();
    delete frame;
    g_pFrame = nullptr;
  }
  skinui::DiscardPendingMessages();
  // The update library, if still loaded, while its patch object lives.
  ReleaseHolder(TheLivePatchHolder());
  if (wxSocketBase::IsInitialized()) wxSocketBase::Shutdown();
  curl_global_cleanup();
}

}  // namespace launcher_main

int WinMain() {
  // Records a crash without asking, for the whole run.
  MiniDumper dumper(true);
  RoadEnvironment& environment = SystemRoadEnvironment();
  if (!launcher_main::StartUp(environment)) return 0;
  {
    LauncherFrameWnd* frame = g_pFrame.load();
    AutoClose autoClose(frame ? frame->GetHWND() : nullptr, AutoCloseDelay());
    CPaintManagerUI::MessageLoop();
  }
  launcher_main::ShutDown(environment);
  return 0;
}
