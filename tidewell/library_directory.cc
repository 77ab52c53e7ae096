#include "tidewell/library_directory.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>

namespace tidewell {
namespace {

// Any function of this library: the loader tells which file holds it.
wxString FindOwnFile() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&FindOwnFile), &info) == 0 || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  // A directory whose name is not UTF-8 has no wxString form: the host then
  // loads the library by a path relative to that directory, and that path
  // serves here too.
  if (realpath(info.dli_fname, resolved)) {
    const wxString full = wxString::FromUTF8(resolved);
    if (!full.empty()) return full;
  }
  return wxString::FromUTF8(info.dli_fname);
}

}  // namespace

wxString ModulePath() {
  static const wxString ownFile = FindOwnFile();
  return ownFile.Clone();
}

wxString DirectoryOf(const wxString& path) {
  const size_t last = path.find_last_of('/');
  if (last == wxString::npos || last == 0) return {};
  return path.Left(last + 1);
}

}  // namespace tidewell
