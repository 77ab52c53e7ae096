#include "skinui/button.h"

#include <cstring>
#include <functional>

#include "skinui/attribute_parsing.h"
#include "skinui/container.h"
#include "skinui/paint_manager.h"
#include "skinui/thread_checker.h"

CStdString CButtonUI::GetClass() const { return "ButtonUI"; }

void* CButtonUI::GetInterface(const char* name) {
  if (name && std::strcmp(name, "Button") == 0) return this;
  return CLabelUI::GetInterface(name);
}

bool CButtonUI::Activate() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (!CControlUI::Activate()) return false;
  Notify("click");
  return true;
}

COptionUI::~COptionUI() = default;

CStdString COptionUI::GetClass() const { return "OptionUI"; }

void* COptionUI::GetInterface(const char* name) {
  if (name && std::strcmp(name, "Option") == 0) return this;
  return CButtonUI::GetInterface(name);
}

bool COptionUI::Activate() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (!CButtonUI::Activate()) return false;
  // The "click" handler may have changed the selection itself; the click
  // still toggles from the state it finds now.
  if (!group_.empty()) {
    Selected(true);
  } else {
    Selected(!selected_);
  }
  return true;
}

bool COptionUI::IsSelected() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return selected_;
}

// Visits every option of `root`'s tree.
static void ForEachOption(CControlUI* control, const std::function<void(COptionUI*)>& visit) {
  if (!control) return;
  if (auto* option = static_cast<COptionUI*>(control->GetInterface("Option"))) visit(option);
  if (auto* container = static_cast<CContainerUI*>(control->GetInterface("Container"))) {
    for (int i = 0; i < container->GetCount(); ++i) ForEachOption(container->GetItemAt(i), visit);
  }
}

void COptionUI::Selected(bool selected) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (selected_ == selected) return;
  selected_ = selected;
  Invalidate();
  if (selected && !group_.empty() && manager_) {
    ForEachOption(manager_->GetRoot(), [this](COptionUI* other) {
      if (other != this && other->GetGroup() == group_) other->Selected(false);
    });
  }
  Notify("selectchanged");
}

CStdString COptionUI::GetGroup() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return group_;
}

void COptionUI::SetAttribute(const char* name, const char* value) {
  if (!name || !value) return;
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (std::strcmp(name, "group") == 0) {
    group_ = value;
  } else if (std::strcmp(name, "selected") == 0) {
    selected_ = skinui::ParseBool(value);
  } else {
    CButtonUI::SetAttribute(name, value);
  }
}
