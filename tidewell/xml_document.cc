#include "tidewell/xml_document.h"

#include <expat.h>
#include <wx/mstream.h>

#include <cerrno>
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

// The depth scan over `text`: why it is refused before the real parse
// (an element deeper than the limit), and expat's word on a syntax error,
// which tells why the real parse fails when it does; each empty for none.
struct ScanResult {
  std::string refusal;
  std::string syntaxError;
};

ScanResult ScanDepth(const std::string& text) {
  DepthScan scan;
  scan.parser = XML_ParserCreate(nullptr);
  if (!scan.parser) return ScanResult{"no XML parser", ""};
  XML_SetUserData(scan.parser, &scan);
  XML_SetElementHandler(scan.parser, &StartElement, &EndElement);
  ScanResult result;
  if (XML_Parse(scan.parser, text.data(), static_cast<int>(text.size()), XML_TRUE) !=
          XML_STATUS_OK &&
      !scan.tooDeep) {
    result.syntaxError = std::string(XML_ErrorString(XML_GetErrorCode(scan.parser))) + " at line " +
                         std::to_string(XML_GetCurrentLineNumber(scan.parser));
  }
  XML_ParserFree(scan.parser);
  if (scan.tooDeep)
    result.refusal = "elements nested more than " + std::to_string(kMaxXmlDepth) + " deep";
  return result;
}

}  // namespace

platform::Status LoadXmlDocument(const wxString& path, wxXmlDocument& document) {
  std::ifstream file(path.utf8_string(), std::ios::binary);
  if (!file) return platform::Error::FromErrno("cannot read " + path.utf8_string(), errno);
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) return platform::Error::FromErrno("cannot read " + path.utf8_string(), errno);
  if (text.size() > static_cast<size_t>(INT_MAX)) return platform::Error{"too large to read"};
  const ScanResult scan = ScanDepth(text);
  if (!scan.refusal.empty()) return platform::Error{scan.refusal};
  wxMemoryInputStream input(text.data(), text.size());
  wxXmlDocument parsed;
  if (!parsed.Load(input, "UTF-8") || !parsed.GetRoot()) {
    if (scan.syntaxError.empty()) return platform::Error{"not an XML document"};
    return platform::Error{"not well-formed XML (" + scan.syntaxError + ")"};
  }
  document.SetRoot(parsed.DetachRoot());  // frees the previous tree; no copy
  return platform::Status();
}

}  // namespace tidewell
