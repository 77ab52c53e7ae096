#include "skinui/list.h"

#include <algorithm>
#include <cstring>

#include "skinui/attribute_parsing.h"
#include "skinui/thread_checker.h"

CStdString CListUI::GetClass() const { return "ListUI"; }

void* CListUI::GetInterface(const char* name) {
  if (name && std::strcmp(name, "List") == 0) return this;
  return CVerticalLayoutUI::GetInterface(name);
}

bool CListUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CListUI::AddAt(CControlUI* control, int index) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  // Rows take the skin's "itemheight"; without it they share the height.
  // Set before the row joins the list: a change to a row of the list would
  // lay the whole list out again, once per row added.
  const int itemHeight = skinui::ParseInt(GetAttribute("itemheight").c_str());
  if (control && itemHeight > 0 && control->GetFixedHeight() == 0) {
    control->SetFixedHeight(itemHeight);
  }
  if (!CVerticalLayoutUI::AddAt(control, index)) return false;
  if (curSel_ >= index) ++curSel_;
  Renumber(index);  // the items before keep their numbers
  return true;
}

bool CListUI::Remove(CControlUI* control) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  const int index = GetItemIndex(control);
  if (!CVerticalLayoutUI::Remove(control)) return false;
  if (curSel_ == index) {
    curSel_ = -1;
  } else if (curSel_ > index) {
    --curSel_;
  }
  Renumber(index);
  return true;
}

void CListUI::RemoveAll() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  curSel_ = -1;
  scrollY_ = 0;
  CVerticalLayoutUI::RemoveAll();
}

void CListUI::Layout(RECT rect) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  // Lays the items out from the scrolled top, then keeps the offset inside
  // what the items fill.
  long long content = 0;
  for (CControlUI* item : items_) {
    if (item->IsOwnVisible() && !item->IsFloat()) content += item->GetFixedHeight() + childPadding_;
  }
  const long long visible = skinui::RectHeight(rect) - inset_.top - inset_.bottom;
  const long long most = std::max<long long>(0, content - visible);
  scrollY_ = static_cast<int>(std::clamp<long long>(scrollY_, 0, most));
  CVerticalLayoutUI::Layout(rect);
  if (scrollY_ == 0) return;
  for (CControlUI* item : items_) {
    if (item->IsFloat()) continue;
    RECT at = item->GetPos();
    at.top -= scrollY_;
    at.bottom -= scrollY_;
    item->Layout(at);
  }
}

CControlUI* CListUI::FindControlAt(POINT point) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  ApplyPendingLayout(true);
  // Items scrolled out of the list's rectangle cannot be hit.
  if (!skinui::PointInRect(rect_, point)) return nullptr;
  return CVerticalLayoutUI::FindControlAt(point);
}

bool CListUI::ScrollRows(int rows) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  ApplyPendingLayout(true);
  int rowHeight = 0;
  for (CControlUI* item : items_) {
    if (item->GetFixedHeight() > 0) {
      rowHeight = item->GetFixedHeight() + childPadding_;
      break;
    }
  }
  if (rowHeight == 0) return false;
  const int before = scrollY_;
  scrollY_ = std::max(0, scrollY_ + rows * rowHeight);
  const RECT rect = rect_;
  rect_ = RECT{};  // forces the items to be placed again
  Layout(rect);
  Invalidate();
  return scrollY_ != before;
}

int CListUI::GetScrollOffset() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return scrollY_;
}

int CListUI::GetCurSel() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return curSel_;
}

bool CListUI::SelectItem(int index) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (index < -1 || index >= static_cast<int>(items_.size())) return false;
  if (index == curSel_) return true;
  const int previous = curSel_;
  curSel_ = index;
  MarkSelected(previous);
  MarkSelected(index);
  Invalidate();
  Notify("itemselect", static_cast<WPARAM>(index), static_cast<LPARAM>(previous));
  return true;
}

void CListUI::Renumber(int from) {
  for (size_t i = static_cast<size_t>(std::max(0, from)); i < items_.size(); ++i) {
    if (auto* item =
            static_cast<CListLabelElementUI*>(items_[i]->GetInterface("ListLabelElement"))) {
      item->owner_ = this;
      item->index_ = static_cast<int>(i);
      item->selected_ = static_cast<int>(i) == curSel_;
    }
  }
}

void CListUI::MarkSelected(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  if (auto* item =
          static_cast<CListLabelElementUI*>(items_[index]->GetInterface("ListLabelElement"))) {
    item->selected_ = index == curSel_;
  }
}

CStdString CListLabelElementUI::GetClass() const { return "ListLabelElementUI"; }

void* CListLabelElementUI::GetInterface(const char* name) {
  if (name && std::strcmp(name, "ListLabelElement") == 0) return this;
  return CLabelUI::GetInterface(name);
}

CListUI* CListLabelElementUI::GetOwner() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return owner_;
}

int CListLabelElementUI::GetIndex() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return index_;
}

bool CListLabelElementUI::IsSelected() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return selected_;
}

bool CListLabelElementUI::Select(bool select) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (!owner_ || parent_ != owner_) return false;
  if (select) return owner_->SelectItem(index_);
  if (selected_) return owner_->SelectItem(-1);
  return true;
}

void CListLabelElementUI::DoEvent(TEventUI& event) {
  if (event.Type != UIEVENT_BUTTONDOWN) return;
  if (!IsEnabled() || !IsVisible()) return;
  Notify("itemclick");
  Select(true);
}
