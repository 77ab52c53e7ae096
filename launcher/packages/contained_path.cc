#include "launcher/packages/contained_path.h"

#include "platform/files.h"

bool IsContainedRelativePath(const wxString& name) {
  if (name.empty()) return false;
  if (name[0] == '/' || name[0] == '\\') return false;
  if (name.length() >= 2 && name[1] == ':') return false;
  size_t start = 0;
  while (start <= name.length()) {
    size_t end = name.find_first_of("/\\", start);
    if (end == wxString::npos) end = name.length();
    if (name.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

wxString NativeSeparators(const wxString& name) {
  wxString native = name;
  native.Replace("\\", wxString(platform::kPathSeparator));
  return native;
}
