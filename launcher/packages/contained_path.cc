#include "launcher/packages/contained_path.h"

#include "platform/files.h"

bool IsContainedRelativePath(const wxString& name) {
  if (name.empty()) return false;
  if (name[0] == '/' || name[0] == '\\') return false;
  if (name.length() >= 2 && name[1] == ':') return false;
  // Looked at in place: names from a package can be tens of thousands of
  // parts long.
  const wxChar* const text = name.wc_str();
  const size_t length = name.length();
  size_t start = 0;
  for (size_t at = 0; at <= length; ++at) {
    if (at < length && text[at] != '/' && text[at] != '\\') continue;
    if (at - start == 2 && text[start] == '.' && text[start + 1] == '.') return false;
    start = at + 1;
  }
  return true;
}

wxString NativeSeparators(const wxString& name) {
  if (name.find('\\') == wxString::npos) return name;
  wxString native = name;
  for (wxString::iterator it = native.begin(); it != native.end(); ++it) {
    if (*it == '\\') *it = platform::kPathSeparator;
  }
  return native;
}
