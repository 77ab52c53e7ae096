// Copies the files of an unpacked package over the program directory, all
// or nothing: every file is first written beside its target under a
// temporary name and only renamed into place once all of them are written,
// so a full disk or a blocked path leaves the installation as it was.
#pragma once

#include <string>

namespace launcher_update {

// The self-update program itself, at the package's top: it is the means of
// the update, not part of the installation.
inline constexpr const char kUpdaterName[] = "launcherupdate.exe";
// The launcher's note beside it, naming the launcher version to record once
// the package is installed (launcher/update/launcher_handover.h writes it).
inline constexpr const char kVersionNoteName[] = "launcherupdate.version";

struct InstallResult {
  bool ok = false;
  int files = 0;      // files put in place
  std::string error;  // what failed, when !ok
};

// `packageDir` and `programDir`: canonical directories, the package inside
// the program directory (neither with a trailing separator). Regular files
// only: links and special files in the package are skipped. A replaced file
// keeps the permissions of the one it replaces (a new launcher stays
// executable); a new file keeps the package's (rwx bits only); both within
// the user's umask. The staged copies are noted in the program directory's
// ledger of temporaries (download/update_temporaries.h), so that the
// launcher's next start removes them when this program is killed midway.
InstallResult InstallPackage(const std::string& packageDir, const std::string& programDir);

}  // namespace launcher_update
