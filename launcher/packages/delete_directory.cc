#include "launcher/packages/delete_directory.h"

#include "platform/files.h"

bool DeleteDirectory(const wxString& path) {
  const std::string native = path.utf8_string();
  // Like the shell's delete, a path that names nothing is a failure.
  if (native.empty() || !(platform::FileExists(native) || platform::DirectoryExists(native)))
    return false;
  return platform::DeleteRecursively(native);
}
