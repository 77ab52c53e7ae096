// CControlUI: the base of every control of a skin. A control has a class name
// (GetClass), a name from the skin, a text, a position (its rectangle in the
// window's client coordinates, set by layout or SetPos), the fixed offsets and
// size from the skin, visibility, an enabled state and two user data slots.
//
// Controls belong to the UI thread, which every public operation checks in
// debug builds (thread_checker.h): a worker hands its change to the UI
// thread instead (skinui::PostToUiThread, UiTaskRunner). Controls belong to
// their parent container (or, for the root, to the paint manager) and are
// deleted with it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "skinui/std_string.h"
#include "skinui/thread_checker.h"
#include "skinui/win_types.h"

class CControlUI;
class CPaintManagerUI;

// Event types of TEventUI; a left-button press on a control is 13.
enum {
  UIEVENT_BUTTONDOWN = 13,
  UIEVENT_BUTTONUP = 14,
};

// The event record a control's event source hands to its delegates.
struct TEventUI {
  int Type = 0;
  CControlUI* pSender = nullptr;
  POINT ptMouse;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// Binds a plain function `bool f(void* event)`; the event source calls it with
// a TEventUI*. Answering false stops the control's own handling of the event.
class CDelegateStatic {
 public:
  typedef bool (*Function)(void* param);
  explicit CDelegateStatic(Function function) : function_(function) {}
  bool operator()(void* param) const { return function_ ? function_(param) : true; }

 private:
  Function function_;
};

inline CDelegateStatic MakeDelegate(CDelegateStatic::Function function) {
  return CDelegateStatic(function);
}

// A list of delegates, called in the order they were added.
class CEventSource {
 public:
  void operator+=(const CDelegateStatic& delegate);
  // Calls every delegate with `param`; false as soon as one answers false.
  // True when there is none.
  bool operator()(void* param);

 private:
  std::vector<CDelegateStatic> delegates_;
  SKINUI_THREAD_CHECKER(threadChecker_);
};

class CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;

  // The class name text, such as "ButtonUI" ("ControlUI" here).
  virtual CStdString GetClass() const;
  // `this` when the control is of the named kind ("Control", "Button",
  // "Option", "Label", "Text", "Progress", "Container", "VerticalLayout",
  // "HorizontalLayout", "List", "ListLabelElement", "ActiveX"); else nullptr.
  virtual void* GetInterface(const char* name);

  virtual CStdString GetName() const;
  virtual CStdString GetText() const;
  virtual void SetText(const CStdString& text);

  // The control's rectangle in client coordinates of its window. SetPos on a
  // floating control also moves its fixed offsets, so a later layout keeps it
  // where it was put.
  virtual RECT GetPos() const;
  virtual void SetPos(RECT rect);
  // Offset of a floating control from its parent's top-left corner (cx = x,
  // cy = y), from the skin's "pos".
  virtual SIZE GetFixedXY() const;
  virtual int GetFixedWidth() const;
  virtual int GetFixedHeight() const;
  virtual void SetFixedHeight(int height);
  virtual bool IsFloat() const;

  virtual void* GetUserPtrData() const;
  virtual void SetUserPtrData(void* data);

  virtual bool IsVisible() const;  // own flag and every ancestor's
  bool IsOwnVisible() const;       // own flag only
  virtual void SetVisible(bool visible);
  virtual bool IsEnabled() const;
  virtual void SetEnabled(bool enabled);

  CControlUI* GetParent() const;
  // Sets the manager (and parent) of this control and, for containers, of
  // every child. Done by containers and the paint manager.
  virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent);

  // Reads one skin attribute ("name", "text", "pos", "width", "height",
  // "float", "visible", "enabled", "tooltip", "userdata"; subclasses add
  // theirs). Every attribute is also kept as written (KeepAttribute), so
  // look attributes reach the drawing backend and unknown ones are never an
  // error.
  virtual void SetAttribute(const char* name, const char* value);
  // Keeps `value` as the text of attribute `name` (the latest one wins).
  void KeepAttribute(const char* name, const char* value);
  // The kept text of attribute `name`; empty when the skin had none.
  CStdString GetAttribute(const char* name) const;

  // Marks the control's rectangle for a repaint on screen (nothing without
  // a drawing backend). Every change of what a control shows calls it.
  void Invalidate() const;

  // The control (or child) at `point` (client coordinates): the topmost
  // visible, mouse-enabled one whose rectangle holds the point; nullptr
  // when none.
  virtual CControlUI* FindControlAt(POINT point);
  // This control or a descendant named `name` (first in tree order).
  virtual CControlUI* FindControlByName(const char* name);

  // Lays the control out in `rect` (containers also lay out their children).
  virtual void Layout(RECT rect);

  // Delegates called first with every event (see CDelegateStatic).
  CEventSource OnEvent;
  // Delivers an event: the event source first; when it lets the event go on,
  // the control's own handling (DoEvent).
  void Event(TEventUI& event);
  // A click on the control; for buttons sends "click". False when the
  // control is hidden or disabled.
  virtual bool Activate();

 protected:
  virtual void DoEvent(TEventUI& event);
  // Sends a notification through the paint manager (no-op without one).
  void Notify(const char* type, WPARAM wParam = 0, LPARAM lParam = 0);

  // Containers put off laying out their children after an add (filling a
  // long list would otherwise lay it out once per item). Whatever reads a
  // position, or changes what a layout depends on, first lays out the
  // outermost pending container above this control (this one too when
  // `includeSelf`), so every answer is the one an immediate layout would
  // have given.
  void ApplyPendingLayout(bool includeSelf) const;

  CPaintManagerUI* manager_ = nullptr;
  CControlUI* parent_ = nullptr;
  CStdString name_;
  CStdString text_;
  CStdString toolTip_;
  CStdString userData_;
  std::vector<std::pair<std::string, std::string>> attributes_;
  void* userPtr_ = nullptr;
  RECT rect_;
  SIZE fixedXY_;  // offset of a floating control from its parent
  int fixedWidth_ = 0;
  int fixedHeight_ = 0;
  bool float_ = false;
  bool visible_ = true;
  bool enabled_ = true;
  bool mouseEnabled_ = true;
  bool layoutPending_ = false;  // containers only: children not laid out yet
  // The UI thread, where the control was made; subclasses check against it.
  SKINUI_THREAD_CHECKER(threadChecker_);
};
