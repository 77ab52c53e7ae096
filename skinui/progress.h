// CProgressUI ("ProgressUI"): a bar with a value between a minimum and a
// maximum (skin: "min", "max", "value"; defaults 0, 100, 0). SetValue keeps
// the value inside [min, max] (clamped), so no value from the network can
// push the bar outside its range.
#pragma once

#include "skinui/label.h"

class CProgressUI : public CLabelUI {
 public:
  CStdString GetClass() const override;  // "ProgressUI"
  void* GetInterface(const char* name) override;

  int GetMinValue() const;
  void SetMinValue(int value);
  int GetMaxValue() const;
  void SetMaxValue(int value);
  int GetValue() const;
  void SetValue(int value);

  void SetAttribute(const char* name, const char* value) override;

 private:
  int min_ = 0;
  int max_ = 100;
  int value_ = 0;
  bool horizontal_ = true;
};
