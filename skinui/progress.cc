#include "skinui/progress.h"

#include <algorithm>
#include <cstring>

#include "skinui/attribute_parsing.h"
#include "skinui/ui_lock.h"

using skinui::UiLockGuard;

CStdString CProgressUI::GetClass() const { return "ProgressUI"; }

void* CProgressUI::GetInterface(const char* name) {
  if (name && std::strcmp(name, "Progress") == 0) return this;
  return CLabelUI::GetInterface(name);
}

int CProgressUI::GetMinValue() const {
  UiLockGuard guard;
  return min_;
}

void CProgressUI::SetMinValue(int value) {
  UiLockGuard guard;
  min_ = value;
  if (max_ < min_) max_ = min_;
  value_ = std::clamp(value_, min_, max_);
}

int CProgressUI::GetMaxValue() const {
  UiLockGuard guard;
  return max_;
}

void CProgressUI::SetMaxValue(int value) {
  UiLockGuard guard;
  max_ = value;
  if (min_ > max_) min_ = max_;
  value_ = std::clamp(value_, min_, max_);
}

int CProgressUI::GetValue() const {
  UiLockGuard guard;
  return value_;
}

void CProgressUI::SetValue(int value) {
  UiLockGuard guard;
  const int clamped = std::clamp(value, min_, max_);
  if (clamped == value_) return;
  value_ = clamped;
  Invalidate();
}

void CProgressUI::SetAttribute(const char* name, const char* value) {
  if (!name || !value) return;
  UiLockGuard guard;
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
