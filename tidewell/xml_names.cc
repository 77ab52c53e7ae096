#include "tidewell/xml_names.h"

#include "version_order/version_order.h"

namespace tidewell {

bool NameIs(const wxXmlNode* node, const char* name) {
  return node && node->GetName() == wxString::FromUTF8(name);
}

bool NameIsAnyCase(const wxXmlNode* node, const char* name) {
  return node && node->GetName().IsSameAs(wxString::FromUTF8(name), false);
}

bool ReadAttribute(const wxXmlNode* node, const char* name, wxString* value) {
  return node && node->GetAttribute(wxString::FromUTF8(name), value);
}

const wxXmlNode* FirstElementChild(const wxXmlNode* node) {
  const wxXmlNode* child = node ? node->GetChildren() : nullptr;
  while (child && child->GetType() != wxXML_ELEMENT_NODE) child = child->GetNext();
  return child;
}

const wxXmlNode* BaseSet(const wxXmlNode* root) {
  for (const wxXmlNode* child = root ? root->GetChildren() : nullptr; child;
       child = child->GetNext()) {
    if (child->GetType() == wxXML_ELEMENT_NODE && NameIs(child, "base")) return child;
  }
  return nullptr;
}

wxString AttributeOrEmpty(const wxXmlNode* node, const char* name) {
  wxString value;
  ReadAttribute(node, name, &value);
  return value;
}

bool VersionOrdersBefore(const wxString& left, const wxString& right) {
  return version_order::CompareVersions(left, right) < 0;
}

}  // namespace tidewell
