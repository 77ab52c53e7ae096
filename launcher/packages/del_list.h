// del.lst: a package's list of installed files to delete, one path relative
// to the program directory per white-space-separated word, in UTF-8.
#pragma once

#include <wx/string.h>

#include "launcher/system/run_log.h"

// The longest word that names a file; a longer one is skipped whole (and
// never held in memory whole).
inline constexpr size_t kDeleteListWordMax = 254;

// Deletes each listed file under `programDir` (with a trailing separator),
// found in any letter case as Windows would find it. Words that name no
// file (missing, or a directory) are skipped, so are words that would leave
// the program directory (absolute, or with a ".." component) or name one of
// the launcher's own records (these two with an error line). Nothing here
// fails the installation.
void CarryOutDeleteList(const wxString& programDir, RunLogHandle& log, const wxString& listPath);
