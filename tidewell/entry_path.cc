#include "tidewell/entry_path.h"

#include <wx/tokenzr.h>

namespace tidewell {

wxString ToNativePath(const wxString& manifestPath) {
  wxString path = manifestPath;
  path.Replace("\\", "/");
  return path;
}

bool StaysInsideDirectory(const wxString& path) {
  if (path.StartsWith("/")) return false;
  wxStringTokenizer components(path, "/", wxTOKEN_RET_EMPTY_ALL);
  while (components.HasMoreTokens()) {
    if (components.GetNextToken() == "..") return false;
  }
  return true;
}

}  // namespace tidewell
