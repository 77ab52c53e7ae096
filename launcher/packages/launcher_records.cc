#include "launcher/packages/launcher_records.h"

#include "download/update_temporaries.h"
#include "launcher/packages/applied_packages.h"

bool NamesLauncherRecord(const wxString& relative) {
  wxString name;
  size_t parts = 0;
  size_t start = 0;
  while (start <= relative.length()) {
    size_t end = relative.find_first_of("/\\", start);
    if (end == wxString::npos) end = relative.length();
    const wxString part = relative.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    name = part;
    ++parts;
  }
  if (parts != 1) return false;
  for (const char* record :
       {"version.ini", kAppliedPackagesFile, kTemporaryLedgerFile, "run.log"}) {
    if (name.IsSameAs(record, false)) return true;
  }
  return false;
}
