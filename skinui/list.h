// CListUI ("ListUI"): a vertical list of items. The list is its own item
// container: GetCount, Add (true when added), RemoveAll, GetItemAt work on the
// items. Items are usually CListLabelElementUI ("ListLabelElementUI").
//
// A left-button press on an item (CListLabelElementUI::Event with
// UIEVENT_BUTTONDOWN, 13) first calls the item's OnEvent delegates with the
// TEventUI; when they let it go on and the item is enabled, "itemclick" is
// sent with the item as sender, then the item is selected and the list sends
// "itemselect" (wParam: new index, lParam: previous index).
#pragma once

#include "skinui/container.h"
#include "skinui/label.h"

class CListLabelElementUI;

class CListUI : public CVerticalLayoutUI {
 public:
  CStdString GetClass() const override;  // "ListUI"
  void* GetInterface(const char* name) override;

  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  void RemoveAll() override;

  // Items beyond the list's height are reached by scrolling: the first
  // shown item moves by `rows` items (negative: up), kept in range.
  // Answers whether the view moved.
  bool ScrollRows(int rows);
  int GetScrollOffset() const;  // pixels scrolled past the top
  void Layout(RECT rect) override;
  CControlUI* FindControlAt(POINT point) override;

  // Index of the selected item, -1 for none.
  int GetCurSel() const;
  // Selects the item at `index` (-1: none) and sends "itemselect" when the
  // selection changed. False for an index out of range.
  bool SelectItem(int index);

 private:
  // Numbers the items from `from` on (owner, index, selected flag).
  void Renumber(int from);
  // Sets the selected flag of the item at `index` from curSel_.
  void MarkSelected(int index);
  int curSel_ = -1;
  int scrollY_ = 0;
};

class CListLabelElementUI : public CLabelUI {
 public:
  CStdString GetClass() const override;  // "ListLabelElementUI"
  void* GetInterface(const char* name) override;

  CListUI* GetOwner() const;
  int GetIndex() const;
  bool IsSelected() const;
  // Asks the owning list to select this item.
  bool Select(bool select = true);

 protected:
  void DoEvent(TEventUI& event) override;

 private:
  friend class CListUI;
  CListUI* owner_ = nullptr;
  int index_ = -1;
  bool selected_ = false;
};
