// Buttons: CButtonUI ("ButtonUI") sends "click" when activated; COptionUI
// ("OptionUI") is a button with a selected state and an optional group (the
// skin's "group"): selecting an option unselects the others of its group in
// the same window. Activating an option first sends "click" and then changes
// the selection (selects it when grouped, inverts it otherwise), so a
// "click" handler sees the state from before the click.
#pragma once

#include "skinui/label.h"

class CButtonUI : public CLabelUI {
 public:
  CStdString GetClass() const override;  // "ButtonUI"
  void* GetInterface(const char* name) override;
  bool Activate() override;
};

class COptionUI : public CButtonUI {
 public:
  ~COptionUI() override;
  CStdString GetClass() const override;  // "OptionUI"
  void* GetInterface(const char* name) override;
  bool Activate() override;

  bool IsSelected() const;
  // Sets the state; when it changes, sends "selectchanged" and, when
  // selecting a grouped option, unselects the rest of the group.
  void Selected(bool selected);
  CStdString GetGroup() const;

  // "group", "selected" ("true"/"false").
  void SetAttribute(const char* name, const char* value) override;

 private:
  bool selected_ = false;
  CStdString group_;
};
