#include "tests/support/recording_desktop.h"

namespace testing_support {

using platform::DisplayMode;
using platform::MessageBoxButtons;
using platform::MessageBoxResult;

RecordingDesktop::RecordingDesktop() { previous_ = platform::SetDesktop(this); }

RecordingDesktop::~RecordingDesktop() { platform::SetDesktop(previous_); }

MessageBoxResult RecordingDesktop::ShowMessageBox(const std::string& text,
                                                  const std::string& caption,
                                                  MessageBoxButtons buttons) {
  std::lock_guard<std::mutex> lock(mutex_);
  messageBoxes_.push_back({text, caption, buttons});
  return answer_;
}

bool RecordingDesktop::OpenUrl(const std::string& url) {
  std::lock_guard<std::mutex> lock(mutex_);
  openedUrls_.push_back(url);
  return openUrlResult_;
}

DisplayMode RecordingDesktop::GetDisplayMode() {
  std::lock_guard<std::mutex> lock(mutex_);
  return mode_;
}

bool RecordingDesktop::ChangeDisplayMode(const DisplayMode& mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  displayModeRequests_.push_back(mode);
  if (acceptDisplayChanges_) mode_ = mode;
  return acceptDisplayChanges_;
}

void RecordingDesktop::PostQuit(int exitCode) {
  std::lock_guard<std::mutex> lock(mutex_);
  quitRequests_.push_back(exitCode);
}

void RecordingDesktop::SetDisplayMode(const DisplayMode& mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  mode_ = mode;
}

void RecordingDesktop::SetAcceptDisplayChanges(bool accept) {
  std::lock_guard<std::mutex> lock(mutex_);
  acceptDisplayChanges_ = accept;
}

void RecordingDesktop::SetMessageBoxAnswer(MessageBoxResult answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answer_ = answer;
}

void RecordingDesktop::SetOpenUrlResult(bool result) {
  std::lock_guard<std::mutex> lock(mutex_);
  openUrlResult_ = result;
}

std::vector<RecordingDesktop::MessageBox> RecordingDesktop::MessageBoxes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messageBoxes_;
}

std::vector<std::string> RecordingDesktop::OpenedUrls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return openedUrls_;
}

std::vector<DisplayMode> RecordingDesktop::DisplayModeRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return displayModeRequests_;
}

std::vector<int> RecordingDesktop::QuitRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return quitRequests_;
}

}  // namespace testing_support
