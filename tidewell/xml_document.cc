#include "tidewell/xml_document.h"

#include <expat.h>
#include <wx/mstream.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <string>

namespace tidewell {
namespace {

struct DepthScan {
  XML_Parser parser = nullptr;
  int depth = 0;
  bool tooDeep = false;
};

void XMLCALL StartElement(void* data, const XML_Char* /*name*/, const XML_Char** /*attributes*/) {
  auto* scan = static_cast<DepthScan*>(data);
  if (++scan->depth > kMaxXmlDepth) {
    scan->tooDeep = true;
    XML_StopParser(scan->parser, XML_FALSE);
  }
}

void XMLCALL EndElement(void* data, const XML_Char* /*name*/) {
  --static_cast<DepthScan*>(data)->depth;
}

// True when no element of `text` lies deeper than the limit (whether the
// text is well-formed is left to the real parse).
bool NestsWithinLimit(const std::string& text) {
  DepthScan scan;
  scan.parser = XML_ParserCreate(nullptr);
  if (!scan.parser) return false;
  XML_SetUserData(scan.parser, &scan);
  XML_SetElementHandler(scan.parser, &StartElement, &EndElement);
  XML_Parse(scan.parser, text.data(), static_cast<int>(text.size()), XML_TRUE);
  XML_ParserFree(scan.parser);
  return !scan.tooDeep;
}

}  // namespace

bool LoadXmlDocument(const wxString& path, wxXmlDocument& document) {
  std::ifstream file(path.utf8_string(), std::ios::binary);
  if (!file) return false;
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad() || text.size() > static_cast<size_t>(INT_MAX)) return false;
  if (!NestsWithinLimit(text)) return false;
  wxMemoryInputStream input(text.data(), text.size());
  wxXmlDocument parsed;
  if (!parsed.Load(input, "UTF-8") || !parsed.GetRoot()) return false;
  document.SetRoot(parsed.DetachRoot());  // frees the previous tree; no copy
  return true;
}

}  // namespace tidewell
