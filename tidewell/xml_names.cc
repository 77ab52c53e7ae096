#include "tidewell/xml_names.h"

#include "tidewell/version_order.h"

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

wxString AttributeOrEmpty(const wxXmlNode* node, const char* name) {
  wxString value;
  ReadAttribute(node, name, &value);
  return value;
}

bool VersionOrdersBefore(const wxString& left, const wxString& right) {
  return CompareVersions(left, right) < 0;
}

}  // namespace tidewell
