// Reading manifest and file-list nodes: element names compared exactly or
// ignoring case (each operation has its own rule), attributes, and the
// string order of versions.
#pragma once

#include <wx/string.h>
#include <wx/xml/xml.h>

namespace tidewell {

bool NameIs(const wxXmlNode* node, const char* name);         // case-sensitive
bool NameIsAnyCase(const wxXmlNode* node, const char* name);  // ASCII case ignored

// The attribute's value when present (taken as it stands), else false.
bool ReadAttribute(const wxXmlNode* node, const char* name, wxString* value);
wxString AttributeOrEmpty(const wxXmlNode* node, const char* name);

// The first child of `node` that is an element (comments and text skipped).
const wxXmlNode* FirstElementChild(const wxXmlNode* node);

// The manifest's full-installation set: the first child of the root named
// exactly "base"; null when there is none.
const wxXmlNode* BaseSet(const wxXmlNode* root);

// Versions are plain strings ordered UTF-16 code unit by code unit, a
// prefix before the longer string: "1.10" orders before "1.9".
bool VersionOrdersBefore(const wxString& left, const wxString& right);

}  // namespace tidewell
