// Containers: a CContainerUI gives every child its own rectangle; the two
// layouts stack their non-floating children (fixed sizes first, the rest of
// the space shared equally). A floating child ("float" in the skin) sits at
// its fixed offset from the container's top-left corner with its fixed size
// (or the size from its "pos" right/bottom). A container owns its children.
//
// An add does not lay the children out at once: the container notes that its
// layout is pending and applies it before anything reads a position (GetPos,
// FindControlAt, the message loop's hit tests) or changes what the layout
// depends on, so adding n items costs O(n) and every answer stays the same.
#pragma once

#include <vector>

#include "skinui/control.h"

class CContainerUI : public CControlUI {
 public:
  CContainerUI();
  ~CContainerUI() override;

  CStdString GetClass() const override;  // "ContainerUI"
  void* GetInterface(const char* name) override;

  // Takes ownership. False for nullptr or a control that already has a parent.
  virtual bool Add(CControlUI* control);
  virtual bool AddAt(CControlUI* control, int index);
  // Removes and deletes the child; false when it is not a child.
  virtual bool Remove(CControlUI* control);
  // Removes and deletes every child.
  virtual void RemoveAll();
  virtual int GetCount() const;
  virtual CControlUI* GetItemAt(int index) const;
  virtual int GetItemIndex(CControlUI* control) const;

  // Inner margin ("inset" = "left,top,right,bottom") and gap between
  // stacked children ("childpadding").
  void SetAttribute(const char* name, const char* value) override;
  void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
  CControlUI* FindControlAt(POINT point) override;
  CControlUI* FindControlByName(const char* name) override;
  void Layout(RECT rect) override;

 protected:
  enum class Stacking { None, Vertical, Horizontal };
  explicit CContainerUI(Stacking stacking);
  void LayoutChildren(RECT inner);

  std::vector<CControlUI*> items_;
  RECT inset_;
  int childPadding_ = 0;
  Stacking stacking_ = Stacking::None;
};

class CVerticalLayoutUI : public CContainerUI {
 public:
  CVerticalLayoutUI();
  CStdString GetClass() const override;  // "VerticalLayoutUI"
  void* GetInterface(const char* name) override;
};

class CHorizontalLayoutUI : public CContainerUI {
 public:
  CHorizontalLayoutUI();
  CStdString GetClass() const override;  // "HorizontalLayoutUI"
  void* GetInterface(const char* name) override;
};
