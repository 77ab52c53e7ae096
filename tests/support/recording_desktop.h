// A desktop for tests: records every message box, opened URL, display-mode
// change request and quit request instead of showing or doing anything.
// Installs itself for its lifetime and puts the previous desktop back after.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"

namespace testing_support {

class RecordingDesktop final : public platform::Desktop {
 public:
  struct MessageBox {
    std::string text;
    std::string caption;
    platform::MessageBoxButtons buttons;
  };

  RecordingDesktop();
  ~RecordingDesktop() override;
  RecordingDesktop(const RecordingDesktop&) = delete;
  RecordingDesktop& operator=(const RecordingDesktop&) = delete;

  platform::MessageBoxResult ShowMessageBox(const std::string& text, const std::string& caption,
                                            platform::MessageBoxButtons buttons) override;
  bool OpenUrl(const std::string& url) override;
  platform::DisplayMode GetDisplayMode() override;
  bool ChangeDisplayMode(const platform::DisplayMode& mode) override;
  void PostQuit(int exitCode) override;

  // Set-up.
  void SetDisplayMode(const platform::DisplayMode& mode);
  // Whether ChangeDisplayMode accepts a change (default true); an accepted
  // change becomes the current mode.
  void SetAcceptDisplayChanges(bool accept);
  // The answer every message box gives (default Ok).
  void SetMessageBoxAnswer(platform::MessageBoxResult answer);
  void SetOpenUrlResult(bool result);

  // What happened, copied under the lock.
  std::vector<MessageBox> MessageBoxes() const;
  std::vector<std::string> OpenedUrls() const;
  std::vector<platform::DisplayMode> DisplayModeRequests() const;
  std::vector<int> QuitRequests() const;

 private:
  mutable std::mutex mutex_;
  platform::Desktop* previous_ = nullptr;
  platform::DisplayMode mode_ = platform::kDefaultDisplayMode;
  bool acceptDisplayChanges_ = true;
  platform::MessageBoxResult answer_ = platform::MessageBoxResult::Ok;
  bool openUrlResult_ = true;
  std::vector<MessageBox> messageBoxes_;
  std::vector<std::string> openedUrls_;
  std::vector<platform::DisplayMode> displayModeRequests_;
  std::vector<int> quitRequests_;
};

}  // namespace testing_support
