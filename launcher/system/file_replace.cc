#include "launcher/system/file_replace.h"

#include "platform/file_replacement.h"

namespace {

// An installed read-only file is not replaced (the process may run with
// rights that would ignore the permission bits).
platform::ReplaceOptions InstalledFileRules() {
  platform::ReplaceOptions options;
  options.keepReadOnly = true;
  return options;
}

}  // namespace

bool CopyFileReplacing(const wxString& source, const wxString& target) {
  return platform::ReplaceFileWithCopy(source.utf8_string(), target.utf8_string(),
                                       InstalledFileRules())
      .ok();
}

bool WriteFileReplacing(const wxString& target, const std::string& bytes) {
  platform::ReplaceOptions options = InstalledFileRules();
  options.newFileMode = 0644;
  return platform::ReplaceFileContent(target.utf8_string(), bytes, options).ok();
}
