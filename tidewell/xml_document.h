// Reading the manifest and file lists: untrusted documents from the network.
#pragma once

#include <wx/string.h>
#include <wx/xml/xml.h>

namespace tidewell {

// Manifests nest three levels and file lists two; anything far deeper is
// hostile. The toolkit frees a parsed tree by recursion, so a document of a
// few megabytes nested hundreds of thousands deep would overflow the stack.
inline constexpr int kMaxXmlDepth = 32;

// Parses the file at `path` ("UTF-8") into `document`. False, leaving
// `document` alone, when the file cannot be read, is not well-formed, has no
// root or nests its elements more than kMaxXmlDepth deep; such a document is
// refused before any tree is built.
bool LoadXmlDocument(const wxString& path, wxXmlDocument& document);

}  // namespace tidewell
