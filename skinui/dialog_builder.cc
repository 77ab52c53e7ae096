#include "skinui/dialog_builder.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "skinui/activex.h"
#include "skinui/attribute_parsing.h"
#include "skinui/button.h"
#include "skinui/container.h"
#include "skinui/label.h"
#include "skinui/list.h"
#include "skinui/progress.h"
#include "skinui/thread_checker.h"

namespace {

constexpr int kMaxDepth = 64;

CControlUI* MakeControl(const char* element) {
  if (std::strcmp(element, "Control") == 0) return new CControlUI;
  if (std::strcmp(element, "Container") == 0) return new CContainerUI;
  if (std::strcmp(element, "VerticalLayout") == 0) return new CVerticalLayoutUI;
  if (std::strcmp(element, "HorizontalLayout") == 0) return new CHorizontalLayoutUI;
  if (std::strcmp(element, "Label") == 0) return new CLabelUI;
  if (std::strcmp(element, "Text") == 0) return new CTextUI;
  if (std::strcmp(element, "Button") == 0) return new CButtonUI;
  if (std::strcmp(element, "Option") == 0) return new COptionUI;
  if (std::strcmp(element, "Progress") == 0) return new CProgressUI;
  if (std::strcmp(element, "List") == 0) return new CListUI;
  if (std::strcmp(element, "ListLabelElement") == 0) return new CListLabelElementUI;
  if (std::strcmp(element, "ActiveX") == 0) return new CActiveXUI;
  return nullptr;
}

// Builds the control of `node` and, for containers, its children.
CControlUI* Build(CMarkupNode node, IDialogBuilderCallback* callback, int depth) {
  CControlUI* control = MakeControl(node.GetName());
  if (!control && callback) control = callback->CreateControl(node.GetName());
  if (!control) return nullptr;
  for (int i = 0; i < node.GetAttributeCount(); ++i) {
    control->KeepAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
    control->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
  }
  auto* container = static_cast<CContainerUI*>(control->GetInterface("Container"));
  if (container && depth < kMaxDepth) {
    for (CMarkupNode child = node.GetChild(); child.IsValid(); child = child.GetSibling()) {
      CControlUI* built = Build(child, callback, depth + 1);
      if (built && !container->Add(built)) delete built;
    }
  }
  return control;
}

// <Font id="0" name="..." size="12" bold="false" default="true"/>
void AddFont(CMarkupNode node, CPaintManagerUI* manager) {
  SkinFont font;
  for (int i = 0; i < node.GetAttributeCount(); ++i) {
    const char* name = node.GetAttributeName(i);
    const char* value = node.GetAttributeValue(i);
    if (std::strcmp(name, "id") == 0) {
      font.id = skinui::ParseInt(value);
    } else if (std::strcmp(name, "name") == 0) {
      font.name = value;
    } else if (std::strcmp(name, "size") == 0) {
      font.size = std::clamp(skinui::ParseInt(value), 1, 400);
    } else if (std::strcmp(name, "bold") == 0) {
      font.bold = skinui::ParseBool(value);
    } else if (std::strcmp(name, "italic") == 0) {
      font.italic = skinui::ParseBool(value);
    } else if (std::strcmp(name, "underline") == 0) {
      font.underline = skinui::ParseBool(value);
    } else if (std::strcmp(name, "default") == 0) {
      font.isDefault = skinui::ParseBool(value);
    }
  }
  manager->AddFont(font);
}

void ApplyWindowAttributes(CMarkupNode window, CPaintManagerUI* manager) {
  for (CMarkupNode child = window.GetChild(); child.IsValid(); child = child.GetSibling()) {
    if (std::strcmp(child.GetName(), "Font") == 0) AddFont(child, manager);
  }
  for (int i = 0; i < window.GetAttributeCount(); ++i) {
    const char* name = window.GetAttributeName(i);
    const char* value = window.GetAttributeValue(i);
    manager->KeepWindowAttribute(name, value);
    if (std::strcmp(name, "size") == 0) {
      const SIZE size = skinui::ParseSize(value);
      manager->SetInitSize(size.cx, size.cy);
    } else if (std::strcmp(name, "caption") == 0) {
      manager->SetCaptionRect(skinui::ParseRect(value));
    } else if (std::strcmp(name, "roundcorner") == 0) {
      const SIZE corner = skinui::ParseSize(value);
      manager->SetRoundCorner(corner.cx, corner.cy);
    }
  }
}

}  // namespace

CDialogBuilder::CDialogBuilder() = default;
CDialogBuilder::~CDialogBuilder() = default;

CControlUI* CDialogBuilder::Create(const CStdString& xml, const char*,
                                   IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   CControlUI* parent) {
  SKINUI_DCHECK_ON_UI_THREAD();
  bool loaded;
  if (!xml.empty() && xml[0] == '<') {
    loaded = markup_.Load(xml);
  } else {
    std::string contents;
    loaded = skinui::ReadSkinResource(xml, &contents) && markup_.Load(contents);
    if (!loaded) markup_.Release();
  }
  if (!loaded) return nullptr;

  CMarkupNode root = markup_.GetRoot();
  CControlUI* control = nullptr;
  if (std::strcmp(root.GetName(), "Window") == 0) {
    if (manager) ApplyWindowAttributes(root, manager);
    // The first child that makes a control is the root control; resource
    // elements before it are skipped.
    for (CMarkupNode child = root.GetChild(); child.IsValid() && !control;
         child = child.GetSibling()) {
      control = Build(child, callback, 1);
    }
  } else {
    control = Build(root, callback, 1);
  }
  if (!control) return nullptr;
  if (manager) control->SetManager(manager, nullptr);
  if (parent) {
    auto* container = static_cast<CContainerUI*>(parent->GetInterface("Container"));
    if (!container || !container->Add(control)) {
      delete control;
      return nullptr;
    }
  }
  return control;
}
