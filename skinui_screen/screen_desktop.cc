#include "skinui_screen/screen_desktop.h"

#include <gtk/gtk.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/thread.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "skinui/native_backend.h"
#include "skinui/thread_checker.h"
#include "skinui/window_system.h"
#include "skinui_screen/screen_backend.h"
#include "skinui_screen/x11_screen.h"

namespace skinui {
namespace {

using platform::MessageBoxButtons;
using platform::MessageBoxResult;

std::mutex& ModeMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
platform::DisplayMode& CachedMode() {
  static auto* mode = new platform::DisplayMode(platform::kDefaultDisplayMode);
  return *mode;
}

// The screen as X reports it. An X screen keeps its depth for as long as
// the server runs; what the launcher's 32-bits-per-pixel rule asks about is
// the pixel size in memory, which is 32 bits for the usual depth 24. A
// screen of another depth stays as it is (ChangeDisplayMode refuses).
platform::DisplayMode ReadScreen() {
  platform::DisplayMode mode = CachedMode();
  if (ReadX11Screen(&mode.width, &mode.height, &mode.bitsPerPixel)) mode.frequency = 60;
  return mode;
}

// A small modal box: text, caption and the buttons asked for. Enter takes
// the first button, Escape (and the window's close button) the last. It is
// centred on `main` (a window of the model; the screen when there is none).
class MessageBoxDialog final : public wxDialog {
 public:
  MessageBoxDialog(HWND main, wxWindow* parent, const std::string& text, const std::string& caption,
                   MessageBoxButtons buttons)
      : wxDialog(parent, wxID_ANY, wxString::FromUTF8(caption), wxDefaultPosition, wxDefaultSize,
                 wxCAPTION | wxCLOSE_BOX),
        main_(main) {
    auto* column = new wxBoxSizer(wxVERTICAL);
    auto* label = new wxStaticText(this, wxID_ANY, wxString::FromUTF8(text));
    label->Wrap(420);
    column->Add(label, 0, wxALL, 18);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    switch (buttons) {
      case MessageBoxButtons::Ok:
        AddButton(row, wxID_OK, "确定", MessageBoxResult::Ok);
        SetEscapeId(wxID_OK);
        fallback_ = MessageBoxResult::Ok;
        break;
      case MessageBoxButtons::OkCancel:
        AddButton(row, wxID_OK, "确定", MessageBoxResult::Ok);
        AddButton(row, wxID_CANCEL, "取消", MessageBoxResult::Cancel);
        fallback_ = MessageBoxResult::Cancel;
        break;
      case MessageBoxButtons::YesNo:
        AddButton(row, wxID_YES, "是", MessageBoxResult::Yes);
        AddButton(row, wxID_NO, "否", MessageBoxResult::No);
        SetEscapeId(wxID_NO);
        fallback_ = MessageBoxResult::No;
        break;
    }
    column->Add(row, wxSizerFlags().Right().Border(wxLEFT | wxRIGHT | wxBOTTOM, 12));
    SetSizerAndFit(column);
    CentreOnMain();
    // Mapped before the toolkit paints it, the box would show what lay
    // under it until then: its own colour shows instead.
    gtk_widget_realize(static_cast<GtkWidget*>(GetHandle()));
    const wxColour colour = GetBackgroundColour();
    const unsigned char rgb[3] = {colour.Red(), colour.Green(), colour.Blue()};
    SetX11Background(gtk_widget_get_window(static_cast<GtkWidget*>(GetHandle())), rgb, 1, 1);
    // The toolkit may give the box its final size only once it is shown (a
    // busy machine lays its text out late, a window manager adds its
    // frame): it is centred again whenever its size changes.
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
      event.Skip();
      if (!answered) CentreOnMain();
    });
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Answer(fallback_); });
  }

  bool answered = false;
  MessageBoxResult result = MessageBoxResult::Ok;

 private:
  // Centred on the main window where the window model has it: the
  // toolkit's idea of where its window stands is only what the last
  // configure event said, which a window manager may never update after
  // placing the window.
  void CentreOnMain() {
    RECT area{};
    int screenWidth = 0, screenHeight = 0, bitsPerPixel = 0;
    const bool screenKnown = ReadX11Screen(&screenWidth, &screenHeight, &bitsPerPixel);
    if (!main_ || !IsWindow(main_) || !GetWindowRect(main_, &area)) {
      if (!screenKnown) return;
      area = RECT{0, 0, screenWidth, screenHeight};
    }
    const wxSize size = GetSize();
    int x = area.left + (RectWidth(area) - size.x) / 2;
    int y = area.top + (RectHeight(area) - size.y) / 2;
    if (screenKnown) {  // on the screen, its top left first
      x = std::max(0, std::min(x, screenWidth - size.x));
      y = std::max(0, std::min(y, screenHeight - size.y));
    }
    SetPosition(wxPoint(x, y));
    // Asked for also when the toolkit believes the box stands there
    // already: its belief may be as stale as the frame's.
    gtk_window_move(GTK_WINDOW(GetHandle()), x, y);
  }
  void AddButton(wxSizer* row, int id, const char* label, MessageBoxResult meaning) {
    auto* button = new wxButton(this, id, wxString::FromUTF8(label));
    row->Add(button, 0, wxLEFT, 8);
    if (row->GetItemCount() == 1) button->SetDefault();
    button->Bind(wxEVT_BUTTON, [this, meaning](wxCommandEvent&) { Answer(meaning); });
  }
  void Answer(MessageBoxResult meaning) {
    if (answered) return;
    answered = true;
    result = meaning;
    Hide();
    // The answer comes in a toolkit callback: the skinui loop waiting in
    // the toolkit must look at it now, not at the next input it gets.
    if (NativeBackend* backend = GetNativeBackend()) backend->Wake();
  }

  HWND main_;
  MessageBoxResult fallback_ = MessageBoxResult::Ok;
};

// On the UI thread: the launcher's windows take no input while the box is
// up; the box's own loop is the skinui loop, waiting in the toolkit, so
// workers' changes keep reaching the screen. The box is centred on the main
// window and stays above every window of the launcher.
MessageBoxResult RunBoxOnUiThread(const std::string& text, const std::string& caption,
                                  MessageBoxButtons buttons) {
  SKINUI_DCHECK_ON_UI_THREAD();
  ScreenBackend* backend = TheScreenBackend();
  const HWND main = backend ? backend->MainWindow() : nullptr;
  wxWindow* parent = main ? backend->NativeWindow(main) : nullptr;
  std::vector<HWND> disabled;
  for (HWND hwnd : GetZOrder()) {
    if (IsWindowEnabled(hwnd)) {
      EnableWindow(hwnd, false);
      disabled.push_back(hwnd);
    }
  }
  auto* dialog = new MessageBoxDialog(main, parent, text, caption, buttons);
  dialog->Show();
  if (backend) backend->AddBox(dialog);
  RunMessageLoop([dialog] { return dialog->answered; });
  const MessageBoxResult result = dialog->answered ? dialog->result : MessageBoxResult::Cancel;
  if (backend) backend->RemoveBox(dialog);
  dialog->Destroy();
  for (HWND hwnd : disabled) EnableWindow(hwnd, true);
  return result;
}

struct PendingBox {
  std::mutex mutex;
  std::condition_variable done;
  bool started = false;
  bool finished = false;
  MessageBoxResult result = MessageBoxResult::Ok;
};

}  // namespace

ScreenDesktop::ScreenDesktop(platform::Desktop* fallback) : fallback_(fallback) {
  RefreshDisplayMode();
}

MessageBoxResult ScreenDesktop::ShowMessageBox(const std::string& text, const std::string& caption,
                                               MessageBoxButtons buttons) {
  if (wxIsMainThread()) return RunBoxOnUiThread(text, caption, buttons);
  // A worker: the box runs on the UI thread and the worker waits for the
  // player's answer; it holds nothing the UI thread needs meanwhile.
  auto pending = std::make_shared<PendingBox>();
  PostToUiThread([pending, text, caption, buttons] {
    {
      std::lock_guard<std::mutex> lock(pending->mutex);
      pending->started = true;
    }
    const MessageBoxResult result = RunBoxOnUiThread(text, caption, buttons);
    std::lock_guard<std::mutex> lock(pending->mutex);
    pending->result = result;
    pending->finished = true;
    pending->done.notify_all();
  });
  std::unique_lock<std::mutex> lock(pending->mutex);
  for (;;) {
    if (pending->done.wait_for(lock, std::chrono::milliseconds(200),
                               [&pending] { return pending->finished; })) {
      return pending->result;
    }
    // No loop left to show it (shut-down): answer as without a display.
    if (!pending->started && !IsMessageLoopRunning()) {
      lock.unlock();
      return fallback_->ShowMessageBox(text, caption, buttons);
    }
  }
}

bool ScreenDesktop::OpenUrl(const std::string& url) { return fallback_->OpenUrl(url); }

platform::DisplayMode ScreenDesktop::GetDisplayMode() {
  if (wxIsMainThread()) RefreshDisplayMode();
  std::lock_guard<std::mutex> lock(ModeMutex());
  return CachedMode();
}

bool ScreenDesktop::ChangeDisplayMode(const platform::DisplayMode& mode) {
  // X cannot change a running screen's depth, and the launcher asks for no
  // other change: a request for what the screen already is succeeds, any
  // other is refused (the 32-bit rule then gives up at its bound).
  const platform::DisplayMode current = GetDisplayMode();
  return mode.width == current.width && mode.height == current.height &&
         mode.bitsPerPixel == current.bitsPerPixel;
}

void ScreenDesktop::PostQuit(int exitCode) { fallback_->PostQuit(exitCode); }

void ScreenDesktop::RefreshDisplayMode() {
  const platform::DisplayMode mode = ReadScreen();
  std::lock_guard<std::mutex> lock(ModeMutex());
  CachedMode() = mode;
}

}  // namespace skinui
