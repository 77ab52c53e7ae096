#include "skinui/label.h"

#include <cstring>

CStdString CLabelUI::GetClass() const { return "LabelUI"; }

void* CLabelUI::GetInterface(const char* name) {
  if (name && std::strcmp(name, "Label") == 0) return this;
  return CControlUI::GetInterface(name);
}

CStdString CTextUI::GetClass() const { return "TextUI"; }

void* CTextUI::GetInterface(const char* name) {
  if (name && std::strcmp(name, "Text") == 0) return this;
  return CLabelUI::GetInterface(name);
}
