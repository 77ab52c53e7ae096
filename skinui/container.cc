#include "skinui/container.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "skinui/attribute_parsing.h"
#include "skinui/thread_checker.h"

CContainerUI::CContainerUI() : CContainerUI(Stacking::None) {}

CContainerUI::CContainerUI(Stacking stacking) : stacking_(stacking) {}

CContainerUI::~CContainerUI() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  for (CControlUI* item : items_) delete item;
  items_.clear();
}

CStdString CContainerUI::GetClass() const { return "ContainerUI"; }

void* CContainerUI::GetInterface(const char* name) {
  if (name && std::strcmp(name, "Container") == 0) return this;
  return CControlUI::GetInterface(name);
}

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CContainerUI::AddAt(CControlUI* control, int index) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (!control || control == this || control->GetParent()) return false;
  if (index < 0 || index > static_cast<int>(items_.size())) return false;
  // Pending layouts above answer for the tree as it was; this container's
  // own may simply take the new child in.
  ApplyPendingLayout(false);
  items_.insert(items_.begin() + index, control);
  control->SetManager(manager_, this);
  Invalidate();
  // Laid out when first read (see ApplyPendingLayout); an empty container
  // is not laid out on an add at all.
  if (skinui::RectWidth(rect_) > 0 || skinui::RectHeight(rect_) > 0) layoutPending_ = true;
  return true;
}

bool CContainerUI::Remove(CControlUI* control) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  auto it = std::find(items_.begin(), items_.end(), control);
  if (it == items_.end()) return false;
  // A removal leaves the others where they are, so their places are fixed
  // first.
  ApplyPendingLayout(true);
  items_.erase(it);
  delete control;
  Invalidate();
  return true;
}

void CContainerUI::RemoveAll() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  ApplyPendingLayout(false);
  layoutPending_ = false;  // nothing left to lay out
  std::vector<CControlUI*> items;
  items.swap(items_);
  for (CControlUI* item : items) delete item;
  Invalidate();
}

int CContainerUI::GetCount() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return static_cast<int>(items_.size());
}

CControlUI* CContainerUI::GetItemAt(int index) const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
  return items_[index];
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  auto it = std::find(items_.begin(), items_.end(), control);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void CContainerUI::SetAttribute(const char* name, const char* value) {
  if (!name || !value) return;
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (std::strcmp(name, "inset") == 0 || std::strcmp(name, "childpadding") == 0) {
    ApplyPendingLayout(true);
  }
  if (std::strcmp(name, "inset") == 0) {
    inset_ = skinui::ParseRect(value);
  } else if (std::strcmp(name, "childpadding") == 0) {
    childPadding_ = std::max(0, skinui::ParseInt(value));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  CControlUI::SetManager(manager, parent);
  for (CControlUI* item : items_) item->SetManager(manager, this);
}

CControlUI* CContainerUI::FindControlAt(POINT point) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (!visible_) return nullptr;
  ApplyPendingLayout(true);
  // Later children lie on top of earlier ones.
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
    if (CControlUI* found = (*it)->FindControlAt(point)) return found;
  }
  return CControlUI::FindControlAt(point);
}

CControlUI* CContainerUI::FindControlByName(const char* name) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (CControlUI* self = CControlUI::FindControlByName(name)) return self;
  for (CControlUI* item : items_) {
    if (CControlUI* found = item->FindControlByName(name)) return found;
  }
  return nullptr;
}

void CContainerUI::Layout(RECT rect) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  ApplyPendingLayout(false);
  layoutPending_ = false;
  if (!skinui::EqualRects(rect_, rect)) {
    Invalidate();
    rect_ = rect;
    Invalidate();
  }
  const RECT inner{rect.left + inset_.left, rect.top + inset_.top, rect.right - inset_.right,
                   rect.bottom - inset_.bottom};
  LayoutChildren(inner);
}

static int ClampToInt(long long value) {
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

void CContainerUI::LayoutChildren(RECT inner) {
  std::vector<CControlUI*> stacked;
  for (CControlUI* item : items_) {
    if (item->IsFloat()) {
      const SIZE xy = item->GetFixedXY();
      const RECT at{rect_.left + xy.cx, rect_.top + xy.cy,
                    rect_.left + xy.cx + item->GetFixedWidth(),
                    rect_.top + xy.cy + item->GetFixedHeight()};
      item->Layout(at);
    } else if (item->IsOwnVisible()) {
      stacked.push_back(item);
    }
  }
  if (stacked.empty()) return;
  if (stacking_ == Stacking::None) {
    for (CControlUI* item : stacked) item->Layout(inner);
    return;
  }
  // Sums run in 64 bits: skins and long lists must not overflow an int.
  const bool vertical = stacking_ == Stacking::Vertical;
  const long long available = vertical ? skinui::RectHeight(inner) : skinui::RectWidth(inner);
  long long fixedTotal = static_cast<long long>(childPadding_) * (stacked.size() - 1);
  long long autoCount = 0;
  for (CControlUI* item : stacked) {
    const int fixed = vertical ? item->GetFixedHeight() : item->GetFixedWidth();
    if (fixed > 0) {
      fixedTotal += fixed;
    } else {
      ++autoCount;
    }
  }
  const long long share =
      autoCount > 0 ? std::max<long long>(0, (available - fixedTotal) / autoCount) : 0;
  long long cursor = vertical ? inner.top : inner.left;
  for (CControlUI* item : stacked) {
    const long long fixedMain = vertical ? item->GetFixedHeight() : item->GetFixedWidth();
    const long long fixedCross = vertical ? item->GetFixedWidth() : item->GetFixedHeight();
    const long long main = fixedMain > 0 ? fixedMain : share;
    RECT at;
    if (vertical) {
      at = RECT{inner.left, ClampToInt(cursor),
                fixedCross > 0 ? ClampToInt(inner.left + fixedCross) : inner.right,
                ClampToInt(cursor + main)};
    } else {
      at = RECT{ClampToInt(cursor), inner.top, ClampToInt(cursor + main),
                fixedCross > 0 ? ClampToInt(inner.top + fixedCross) : inner.bottom};
    }
    item->Layout(at);
    cursor += main + childPadding_;
  }
}

CVerticalLayoutUI::CVerticalLayoutUI() : CContainerUI(Stacking::Vertical) {}

CStdString CVerticalLayoutUI::GetClass() const { return "VerticalLayoutUI"; }

void* CVerticalLayoutUI::GetInterface(const char* name) {
  if (name && std::strcmp(name, "VerticalLayout") == 0) return this;
  return CContainerUI::GetInterface(name);
}

CHorizontalLayoutUI::CHorizontalLayoutUI() : CContainerUI(Stacking::Horizontal) {}

CStdString CHorizontalLayoutUI::GetClass() const { return "HorizontalLayoutUI"; }

void* CHorizontalLayoutUI::GetInterface(const char* name) {
  if (name && std::strcmp(name, "HorizontalLayout") == 0) return this;
  return CContainerUI::GetInterface(name);
}
