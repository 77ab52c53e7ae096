// The launcher's own records in the program directory: version.ini, the
// packages applied (update.applied), the ledger of temporary files
// (update.temporaries) and run.log. A package can neither replace nor
// delete them, in any letter case: they tell what is installed and what a
// start-up may remove.
#pragma once

#include <wx/string.h>

// True when `relative` (either separator, "." parts ignored) names one of
// the records directly in the program directory.
bool NamesLauncherRecord(const wxString& relative);
