#include "skinui/control.h"

#include <algorithm>
#include <cstring>

#include "skinui/attribute_parsing.h"
#include "skinui/paint_manager.h"
#include "skinui/thread_checker.h"
#include "skinui/window_system.h"

// ---- CEventSource ----

void CEventSource::operator+=(const CDelegateStatic& delegate) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  delegates_.push_back(delegate);
}

bool CEventSource::operator()(void* param) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  // A copy: a delegate may change the list while it runs.
  const std::vector<CDelegateStatic> delegates = delegates_;
  for (const CDelegateStatic& delegate : delegates) {
    if (!delegate(param)) return false;
  }
  return true;
}

// ---- CControlUI ----

namespace {

// Attributes whose change moves or resizes a control or its neighbours.
bool IsGeometryAttribute(const char* name) {
  static const char* const kNames[] = {"pos", "width", "height", "float", "visible"};
  for (const char* known : kNames) {
    if (std::strcmp(name, known) == 0) return true;
  }
  return false;
}

}  // namespace

CControlUI::CControlUI() = default;
CControlUI::~CControlUI() = default;

CStdString CControlUI::GetClass() const { return "ControlUI"; }

void* CControlUI::GetInterface(const char* name) {
  return name && std::strcmp(name, "Control") == 0 ? this : nullptr;
}

CStdString CControlUI::GetName() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return name_;
}

CStdString CControlUI::GetText() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return text_;
}

void CControlUI::SetText(const CStdString& text) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (text_ == text) return;
  text_ = text;
  Invalidate();
}

RECT CControlUI::GetPos() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  ApplyPendingLayout(false);
  return rect_;
}

void CControlUI::SetPos(RECT rect) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  ApplyPendingLayout(true);
  if (!skinui::EqualRects(rect_, rect)) {
    Invalidate();
    rect_ = rect;
    Invalidate();
  }
  if (float_ && parent_) {
    const RECT parentRect = parent_->GetPos();
    fixedXY_ = SIZE{rect.left - parentRect.left, rect.top - parentRect.top};
  }
}

SIZE CControlUI::GetFixedXY() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return fixedXY_;
}

int CControlUI::GetFixedWidth() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return fixedWidth_;
}

int CControlUI::GetFixedHeight() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return fixedHeight_;
}

void CControlUI::SetFixedHeight(int height) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  ApplyPendingLayout(true);
  fixedHeight_ = std::max(0, height);
}

bool CControlUI::IsFloat() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return float_;
}

void* CControlUI::GetUserPtrData() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return userPtr_;
}

void CControlUI::SetUserPtrData(void* data) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  userPtr_ = data;
}

bool CControlUI::IsVisible() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  for (const CControlUI* control = this; control; control = control->parent_) {
    if (!control->visible_) return false;
  }
  return true;
}

bool CControlUI::IsOwnVisible() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return visible_;
}

void CControlUI::SetVisible(bool visible) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  ApplyPendingLayout(true);
  if (visible_ == visible) return;
  visible_ = visible;
  Invalidate();
}

bool CControlUI::IsEnabled() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return enabled_;
}

void CControlUI::SetEnabled(bool enabled) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Invalidate();
}

CControlUI* CControlUI::GetParent() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return parent_;
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  manager_ = manager;
  parent_ = parent;
}

void CControlUI::KeepAttribute(const char* name, const char* value) {
  if (!name || !value) return;
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  for (auto& [kept, text] : attributes_) {
    if (kept == name) {
      text = value;
      Invalidate();
      return;
    }
  }
  attributes_.emplace_back(name, value);
  Invalidate();
}

CStdString CControlUI::GetAttribute(const char* name) const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (!name) return CStdString();
  for (const auto& [kept, text] : attributes_) {
    if (kept == name) return text;
  }
  return CStdString();
}

void CControlUI::Invalidate() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (!manager_) return;
  const HWND hwnd = manager_->GetPaintWindow();
  if (hwnd && rect_.right > rect_.left && rect_.bottom > rect_.top) {
    skinui::InvalidateRect(hwnd, &rect_);
  }
}

void CControlUI::SetAttribute(const char* name, const char* value) {
  if (!name || !value) return;
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  KeepAttribute(name, value);
  if (IsGeometryAttribute(name)) ApplyPendingLayout(true);
  if (std::strcmp(name, "name") == 0) {
    name_ = value;
  } else if (std::strcmp(name, "text") == 0) {
    text_ = value;
  } else if (std::strcmp(name, "tooltip") == 0) {
    toolTip_ = value;
  } else if (std::strcmp(name, "userdata") == 0) {
    userData_ = value;
  } else if (std::strcmp(name, "pos") == 0) {
    const RECT pos = skinui::ParseRect(value);
    fixedXY_ = SIZE{pos.left, pos.top};
    fixedWidth_ = std::max(0, pos.right - pos.left);
    fixedHeight_ = std::max(0, pos.bottom - pos.top);
    rect_ = pos;
  } else if (std::strcmp(name, "width") == 0) {
    fixedWidth_ = std::max(0, skinui::ParseInt(value));
  } else if (std::strcmp(name, "height") == 0) {
    fixedHeight_ = std::max(0, skinui::ParseInt(value));
  } else if (std::strcmp(name, "float") == 0) {
    float_ = skinui::ParseBool(value);
  } else if (std::strcmp(name, "visible") == 0) {
    visible_ = skinui::ParseBool(value);
  } else if (std::strcmp(name, "enabled") == 0) {
    enabled_ = skinui::ParseBool(value);
  } else if (std::strcmp(name, "mouse") == 0) {
    mouseEnabled_ = skinui::ParseBool(value);
  }
}

CControlUI* CControlUI::FindControlAt(POINT point) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  ApplyPendingLayout(false);
  if (!visible_ || !mouseEnabled_) return nullptr;
  return skinui::PointInRect(rect_, point) ? this : nullptr;
}

CControlUI* CControlUI::FindControlByName(const char* name) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return name && name_ == name ? this : nullptr;
}

void CControlUI::Layout(RECT rect) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  ApplyPendingLayout(false);
  if (skinui::EqualRects(rect_, rect)) return;
  Invalidate();
  rect_ = rect;
  Invalidate();
}

void CControlUI::ApplyPendingLayout(bool includeSelf) const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  const CControlUI* outermost = nullptr;
  for (const CControlUI* control = includeSelf ? this : parent_; control;
       control = control->parent_) {
    if (control->layoutPending_) outermost = control;
  }
  if (!outermost) return;
  // Controls are never const objects; only the cached layout changes.
  auto* target = const_cast<CControlUI*>(outermost);
  target->Layout(target->rect_);
}

void CControlUI::Event(TEventUI& event) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (OnEvent(&event)) DoEvent(event);
}

bool CControlUI::Activate() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return IsVisible() && enabled_;
}

void CControlUI::DoEvent(TEventUI&) {}

void CControlUI::Notify(const char* type, WPARAM wParam, LPARAM lParam) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (manager_) manager_->SendNotify(this, type, wParam, lParam);
}
