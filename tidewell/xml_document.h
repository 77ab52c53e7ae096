// Reading the manifest and file lists: untrusted documents from the network.
#pragma once

#include <wx/string.h>
#include <wx/xml/xml.h>

#include "platform/error.h"

namespace tidewell {

// Manifests nest three levels and file lists two; anything far deeper is
// hostile. The toolkit frees a parsed tree by recursion, so a document of a
// few megabytes nested hundreds of thousands deep would overflow the stack.
inline constexpr int kMaxXmlDepth = 32;

// Parses the file at `path` ("UTF-8") into `document`. Fails, leaving
// `document` alone, when the file cannot be read, is not well-formed, has no
// root or nests its elements more than kMaxXmlDepth deep (saying which,
// with the line of a syntax error); such a document is refused before any
// tree is built.
platform::Status LoadXmlDocument(const wxString& path, wxXmlDocument& document);

}  // namespace tidewell
