// The packages installed since the installed game version was last
// recorded. A package is installed again when its set is applied again (a
// retry after a later file of the set failed, or the next start after a
// failed or interrupted run); copies are then the same, but its index
// merges would append their records a second time. A package found here for
// the version still installed is therefore not installed again.
#pragma once

#include <wx/string.h>

#include <set>
#include <string>

// Name of the record in the program directory.
inline constexpr char kAppliedPackagesFile[] = "update.applied";

// What tells a package's content apart: its size and the end of the file,
// where a zip archive keeps its central directory (names, sizes and CRC-32
// of every entry). Empty when the file cannot be read.
std::string PackageFingerprint(const wxString& packagePath);

// True when the package with `fingerprint` was installed while `version`
// was the installed game version.
bool WasApplied(const wxString& programDir, const wxString& version,
                const std::string& fingerprint);

// Every fingerprint recorded for `version` (read once for many checks).
std::set<std::string> AppliedFingerprints(const wxString& programDir, const wxString& version);

// Records that it was (on disk when this returns true).
bool RecordApplied(const wxString& programDir, const wxString& version,
                   const std::string& fingerprint);

// Forgets every record: a new version has been recorded.
void ForgetApplied(const wxString& programDir);
