#include "skinui/paint_manager.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <map>

#include "platform/desktop.h"
#include "skinui/button.h"
#include "skinui/list.h"
#include "skinui/thread_checker.h"
#include "skinui/window_system.h"

namespace {

struct Settings {
  std::string instancePath;  // empty: the executable's directory
  std::string resourcePath;
  std::string resourceZip;
};

// UI thread only; never destroyed (read while the process exits).
Settings& TheSettings() {
  static auto* settings = new Settings;
  return *settings;
}

std::string WithTrailingSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

std::string ExecutableDirectory() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (length <= 0) return "./";
  std::string path(buffer, static_cast<size_t>(length));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

}  // namespace

namespace {

// Windows and their managers, for the drawing backend; UI thread only.
std::map<HWND, CPaintManagerUI*>& Managers() {
  static auto* managers = new std::map<HWND, CPaintManagerUI*>;
  return *managers;
}

void Forget(HWND hwnd, const CPaintManagerUI* manager) {
  auto it = Managers().find(hwnd);
  if (it != Managers().end() && it->second == manager) Managers().erase(it);
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() : alive_(std::make_shared<bool>(true)) {}

CPaintManagerUI::~CPaintManagerUI() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  *alive_ = false;
  if (hwnd_) Forget(hwnd_, this);
  delete root_;
  root_ = nullptr;
}

// ---- Process-wide ----

void CPaintManagerUI::SetInstance(HINSTANCE) {}

CStdString CPaintManagerUI::GetInstancePath() {
  SKINUI_DCHECK_ON_UI_THREAD();
  Settings& settings = TheSettings();
  if (settings.instancePath.empty()) settings.instancePath = ExecutableDirectory();
  return settings.instancePath;
}

void CPaintManagerUI::SetInstancePath(const CStdString& path) {
  SKINUI_DCHECK_ON_UI_THREAD();
  TheSettings().instancePath = WithTrailingSlash(path);
}

void CPaintManagerUI::SetResourcePath(const CStdString& path) {
  SKINUI_DCHECK_ON_UI_THREAD();
  TheSettings().resourcePath = WithTrailingSlash(path);
}

CStdString CPaintManagerUI::GetResourcePath() {
  SKINUI_DCHECK_ON_UI_THREAD();
  return TheSettings().resourcePath;
}

void CPaintManagerUI::SetResourceZip(const CStdString& zipName) {
  SKINUI_DCHECK_ON_UI_THREAD();
  TheSettings().resourceZip = zipName;
}

CStdString CPaintManagerUI::GetResourceZip() {
  SKINUI_DCHECK_ON_UI_THREAD();
  return TheSettings().resourceZip;
}

int CPaintManagerUI::MessageLoop() {
  platform::SetQuitHandler([](int exitCode) { skinui::PostQuitMessage(exitCode); });
  return skinui::RunMessageLoop();
}

// ---- Per window ----

void CPaintManagerUI::Init(HWND hwnd) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (hwnd_) Forget(hwnd_, this);
  hwnd_ = hwnd;
  if (hwnd) Managers()[hwnd] = this;
}

CPaintManagerUI* CPaintManagerUI::FromWindow(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  auto it = Managers().find(hwnd);
  return it == Managers().end() ? nullptr : it->second;
}

HWND CPaintManagerUI::GetPaintWindow() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return hwnd_;
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (root_ != root) delete root_;
  root_ = root;
  if (root_) root_->SetManager(this, nullptr);
  if (hwnd_ && (initSize_.cx > 0 || initSize_.cy > 0)) {
    RECT rect;
    skinui::GetWindowRect(hwnd_, &rect);
    if (skinui::RectWidth(rect) != initSize_.cx || skinui::RectHeight(rect) != initSize_.cy) {
      skinui::SetWindowPosition(hwnd_, nullptr, 0, 0, initSize_.cx, initSize_.cy,
                                SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  Relayout();
  if (!windowInitQueued_) {
    windowInitQueued_ = true;
    std::weak_ptr<bool> alive = alive_;
    skinui::PostToUiThread([this, alive] {
      auto flag = alive.lock();
      if (flag && *flag) DeliverWindowInit();
    });
  }
  return root_ != nullptr;
}

CControlUI* CPaintManagerUI::GetRoot() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return root_;
}

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (!notifier || std::find(notifiers_.begin(), notifiers_.end(), notifier) != notifiers_.end()) {
    return false;
  }
  notifiers_.push_back(notifier);
  return true;
}

bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* filter) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (!filter || std::find(preFilters_.begin(), preFilters_.end(), filter) != preFilters_.end()) {
    return false;
  }
  preFilters_.push_back(filter);
  return true;
}

bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* filter) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  auto it = std::find(preFilters_.begin(), preFilters_.end(), filter);
  if (it == preFilters_.end()) return false;
  preFilters_.erase(it);
  return true;
}

CControlUI* CPaintManagerUI::FindControl(const char* name) const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (!root_ || !name || !*name) return nullptr;
  return root_->FindControlByName(name);
}

CControlUI* CPaintManagerUI::FindControl(POINT point) const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return root_ ? root_->FindControlAt(point) : nullptr;
}

void CPaintManagerUI::SendNotify(CControlUI* sender, const char* type, WPARAM wParam,
                                 LPARAM lParam) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  TNotifyUI msg;
  msg.sType = type ? type : "";
  msg.pSender = sender;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.ptMouse = skinui::GetCursorPos();
  if (hwnd_) skinui::ScreenToClient(hwnd_, &msg.ptMouse);
  // A notifier may close and delete this window (and this manager) while
  // the notification runs; stop then.
  const std::shared_ptr<bool> alive = alive_;
  const std::vector<INotifyUI*> notifiers = notifiers_;
  for (INotifyUI* notifier : notifiers) {
    if (!*alive) return;
    if (std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end()) continue;
    notifier->Notify(msg);
  }
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  result = 0;
  const std::shared_ptr<bool> alive = alive_;
  const std::vector<IMessageFilterUI*> filters = preFilters_;
  for (IMessageFilterUI* filter : filters) {
    bool handled = false;
    const LRESULT answer = filter->MessageHandler(uMsg, wParam, lParam, handled);
    if (!*alive) return true;
    if (handled) {
      result = answer;
      return true;
    }
  }
  switch (uMsg) {
    case WM_SIZE:
      Relayout();
      if (hwnd_) skinui::InvalidateRect(hwnd_, nullptr);
      return false;
    case WM_MOUSEMOVE: {
      const POINT point{skinui::LParamX(lParam), skinui::LParamY(lParam)};
      POINT screen = point;
      if (hwnd_) skinui::ClientToScreen(hwnd_, &screen);
      skinui::SetCursorPos(screen);
      SetHot(FindControl(point));
      return true;
    }
    case WM_MOUSELEAVE:
      SetHot(nullptr);
      return true;
    case WM_MOUSEWHEEL: {
      // lParam holds the screen point; a wheel step (120) scrolls one row.
      POINT point{skinui::LParamX(lParam), skinui::LParamY(lParam)};
      if (hwnd_) skinui::ScreenToClient(hwnd_, &point);
      const int delta = static_cast<int16_t>((wParam >> 16) & 0xFFFF);
      for (CControlUI* control = FindControl(point); control; control = control->GetParent()) {
        if (auto* list = static_cast<CListUI*>(control->GetInterface("List"))) {
          list->ScrollRows(delta > 0 ? -1 : 1);
          SetHot(FindControl(point));
          break;
        }
      }
      return true;
    }
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONDOWN: {
      const POINT point{skinui::LParamX(lParam), skinui::LParamY(lParam)};
      POINT screen = point;
      if (hwnd_) skinui::ClientToScreen(hwnd_, &screen);
      skinui::SetCursorPos(screen);
      CControlUI* control = FindControl(point);
      SetPressed(control);
      if (control) {
        TEventUI event;
        event.Type = UIEVENT_BUTTONDOWN;
        event.pSender = control;
        event.ptMouse = point;
        event.wParam = wParam;
        event.lParam = lParam;
        control->Event(event);
      }
      return true;
    }
    case WM_LBUTTONUP: {
      const POINT point{skinui::LParamX(lParam), skinui::LParamY(lParam)};
      CControlUI* control = FindControl(point);
      const bool samePress = control && control == pressed_;
      SetPressed(nullptr);
      if (samePress) {
        TEventUI event;
        event.Type = UIEVENT_BUTTONUP;
        event.pSender = control;
        event.ptMouse = point;
        event.wParam = wParam;
        event.lParam = lParam;
        control->Event(event);
        if (*alive && control->GetInterface("Button")) control->Activate();
      }
      return true;
    }
    case WM_NCDESTROY:
      if (hwnd_) Forget(hwnd_, this);
      hwnd_ = nullptr;
      hot_ = pressed_ = nullptr;
      return false;
    default:
      return false;
  }
}

SIZE CPaintManagerUI::GetInitSize() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return initSize_;
}

void CPaintManagerUI::SetInitSize(int cx, int cy) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  initSize_ = SIZE{std::max(0, cx), std::max(0, cy)};
}

RECT CPaintManagerUI::GetCaptionRect() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return caption_;
}

void CPaintManagerUI::SetCaptionRect(RECT rect) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  caption_ = rect;
}

SIZE CPaintManagerUI::GetRoundCorner() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return roundCorner_;
}

void CPaintManagerUI::SetRoundCorner(int cx, int cy) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  roundCorner_ = SIZE{std::max(0, cx), std::max(0, cy)};
}

void CPaintManagerUI::Relayout() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (!root_ || !hwnd_) return;
  RECT client;
  if (skinui::GetClientRect(hwnd_, &client)) root_->Layout(client);
}

void CPaintManagerUI::DeliverWindowInit() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (windowInitSent_ || !hwnd_ || !skinui::IsWindow(hwnd_)) return;
  windowInitSent_ = true;
  SendNotify(root_, "windowinit");
}

// ---- Looks ----

void CPaintManagerUI::KeepWindowAttribute(const char* name, const char* value) {
  if (!name || !value) return;
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  for (auto& [kept, text] : windowAttributes_) {
    if (kept == name) {
      text = value;
      return;
    }
  }
  windowAttributes_.emplace_back(name, value);
}

CStdString CPaintManagerUI::GetWindowAttribute(const char* name) const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (!name) return CStdString();
  for (const auto& [kept, text] : windowAttributes_) {
    if (kept == name) return text;
  }
  return CStdString();
}

void CPaintManagerUI::AddFont(const SkinFont& font) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  for (SkinFont& kept : fonts_) {
    if (kept.id == font.id) {
      kept = font;
      return;
    }
  }
  fonts_.push_back(font);
}

SkinFont CPaintManagerUI::GetFont(int id) const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  for (const SkinFont& font : fonts_) {
    if (id >= 0 && font.id == id) return font;
  }
  for (const SkinFont& font : fonts_) {
    if (font.isDefault) return font;
  }
  return fonts_.empty() ? SkinFont() : fonts_.front();
}

const CControlUI* CPaintManagerUI::GetHotControl() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return hot_;
}

const CControlUI* CPaintManagerUI::GetPressedControl() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return pressed_;
}

// The old look is repainted from the remembered rectangle: the control may
// be gone.
void CPaintManagerUI::SetHot(CControlUI* control) {
  if (control == hot_) return;
  if (hot_ && hwnd_) skinui::InvalidateRect(hwnd_, &hotRect_);
  hot_ = control;
  if (hot_) {
    hotRect_ = hot_->GetPos();
    hot_->Invalidate();
  }
}

void CPaintManagerUI::SetPressed(CControlUI* control) {
  if (control == pressed_) return;
  if (pressed_ && hwnd_) skinui::InvalidateRect(hwnd_, &pressedRect_);
  pressed_ = control;
  if (pressed_) {
    pressedRect_ = pressed_->GetPos();
    pressed_->Invalidate();
  }
}
