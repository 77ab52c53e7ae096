// CDialogBuilder: builds a control tree from a skin file.
//
// The skin is read from the resource archive (CPaintManagerUI's resource
// path + resource zip, a zip file such as bt.dat; entry names are matched
// without regard to letter case and with "\" taken as "/"), or, when no zip
// is set, from the plain file in the resource path. A text that starts with
// "<" is taken as the skin itself. A missing archive, a missing entry, a
// damaged archive or a skin that is not well-formed builds nothing: Create
// answers nullptr.
//
// Skin format: a root element "Window" with attributes "size" ("cx,cy"),
// "caption" ("l,t,r,b"), "roundcorner" ("cx,cy"), whose first control child
// is the root control; or a control element as the root. Control elements:
// Control, Container, VerticalLayout, HorizontalLayout, Label, Text, Button,
// Option, Progress, List, ListLabelElement, ActiveX. Other elements (such as
// Font, Image, Default) are skipped with what they contain, unless the
// callback makes a control for them. Nesting deeper than 64 controls is cut
// off.
#pragma once

#include "skinui/control.h"
#include "skinui/markup.h"
#include "skinui/paint_manager.h"

class IDialogBuilderCallback {
 public:
  // A control for an element name the builder does not know, or nullptr.
  virtual CControlUI* CreateControl(const char* className) = 0;

 protected:
  virtual ~IDialogBuilderCallback() = default;
};

class CDialogBuilder {
 public:
  CDialogBuilder();
  ~CDialogBuilder();
  CDialogBuilder(const CDialogBuilder&) = delete;
  CDialogBuilder& operator=(const CDialogBuilder&) = delete;

  // Builds the skin `xml` (a file name, or the skin text itself). With a
  // paint manager, the Window attributes go to it and the controls learn
  // their manager; with a parent container, the root control is added to
  // it. `type` is not used. Answers the root control (owned by the caller,
  // or by `parent`), nullptr when nothing could be built.
  CControlUI* Create(const CStdString& xml, const char* type = nullptr,
                     IDialogBuilderCallback* callback = nullptr, CPaintManagerUI* manager = nullptr,
                     CControlUI* parent = nullptr);

 private:
  CMarkup markup_;
};

namespace skinui {

// Reads the skin file `name` from the configured resources (see above);
// false when it cannot be read. Entries larger than 16 MiB are refused.
bool ReadSkinResource(const std::string& name, std::string* contents);

}  // namespace skinui
