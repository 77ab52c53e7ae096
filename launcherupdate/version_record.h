// The launcher version the updater records in the program directory's
// version.ini once the new launcher is in place (and only then, so that an
// update that never completes leaves the old version recorded and the
// launcher fetches its package again).
#pragma once

#include <string>

namespace launcher_update {

// What the launcher noted in `packageDir` (ending with "/") for recording;
// "" when there is no usable note.
std::string ReadNotedVersion(const std::string& packageDir);

// Sets LVersion=`version` in [Version] of `programDir` (ending with "/")
// + "version.ini" (found in any letter case), keeping every other line,
// and replaces the file in one rename. A version that an INI line cannot
// hold as it stands (line breaks, quotes, backslashes, blanks at its ends)
// is not written. False when nothing was written.
bool RecordLauncherVersion(const std::string& programDir, const std::string& version);

}  // namespace launcher_update
