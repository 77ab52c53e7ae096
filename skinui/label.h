// Text controls: CLabelUI ("LabelUI") and CTextUI ("TextUI"). Text is held
// only; nothing is drawn.
#pragma once

#include "skinui/control.h"

class CLabelUI : public CControlUI {
 public:
  CStdString GetClass() const override;  // "LabelUI"
  void* GetInterface(const char* name) override;
};

class CTextUI : public CLabelUI {
 public:
  CStdString GetClass() const override;  // "TextUI"
  void* GetInterface(const char* name) override;
};
