#include "skinui/progress.h"

#include <algorithm>
#include <cstring>

#include "skinui/attribute_parsing.h"
#include "skinui/thread_checker.h"

CStdString CProgressUI::GetClass() const { return "ProgressUI"; }

void* CProgressUI::GetInterface(const char* name) {
  if (name && std::strcmp(name, "Progress") == 0) return this;
  return CLabelUI::GetInterface(name);
}

int CProgressUI::GetMinValue() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return min_;
}

void CProgressUI::SetMinValue(int value) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  min_ = value;
  if (max_ < min_) max_ = min_;
  value_ = std::clamp(value_, min_, max_);
}

int CProgressUI::GetMaxValue() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return max_;
}

void CProgressUI::SetMaxValue(int value) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  max_ = value;
  if (min_ > max_) min_ = max_;
  value_ = std::clamp(value_, min_, max_);
}

int CProgressUI::GetValue() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return value_;
}

void CProgressUI::SetValue(int value) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  const int clamped = std::clamp(value, min_, max_);
  if (clamped == value_) return;
  value_ = clamped;
  Invalidate();
}

void CProgressUI::SetAttribute(const char* name, const char* value) {
  if (!name || !value) return;
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (std::strcmp(name, "min") == 0) {
    SetMinValue(skinui::ParseInt(value));
  } else if (std::strcmp(name, "max") == 0) {
    SetMaxValue(skinui::ParseInt(value));
  } else if (std::strcmp(name, "value") == 0) {
    SetValue(skinui::ParseInt(value));
  } else if (std::strcmp(name, "hor") == 0) {
    horizontal_ = skinui::ParseBool(value);
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}
