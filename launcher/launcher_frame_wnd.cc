#include "launcher/launcher_frame_wnd.h"

#include "platform/tick.h"

std::atomic<LauncherFrameWnd*> g_pFrame{nullptr};

LauncherFrameWnd::LauncherFrameWnd() {
  prepareTick = platform::TickCount();
  g_pFrame = this;
}

LauncherFrameWnd::~LauncherFrameWnd() {
  LauncherFrameWnd* self = this;
  g_pFrame.compare_exchange_strong(self, nullptr);
}
