// The desktop of a launcher with real windows: modal message boxes on the
// UI thread, the real screen's display mode; URLs and the quit request go to
// the desktop that was installed before.
#pragma once

#include "platform/desktop.h"

namespace skinui {

class ScreenDesktop final : public platform::Desktop {
 public:
  // `fallback`: the desktop used for what the screen does not change, and
  // for boxes when no message loop is left to show them.
  explicit ScreenDesktop(platform::Desktop* fallback);

  // Any thread. On the UI thread the box runs modally in a nested skinui
  // loop; a worker hands it to the UI thread and waits for the answer.
  platform::MessageBoxResult ShowMessageBox(const std::string& text, const std::string& caption,
                                            platform::MessageBoxButtons buttons) override;
  bool OpenUrl(const std::string& url) override;
  platform::DisplayMode GetDisplayMode() override;
  bool ChangeDisplayMode(const platform::DisplayMode& mode) override;
  void PostQuit(int exitCode) override;

  // Reads the screen again (UI thread).
  void RefreshDisplayMode();

 private:
  platform::Desktop* fallback_;
};

}  // namespace skinui
