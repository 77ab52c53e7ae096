// Installs an unpacked update package into the program directory: copies
// ordinary files over their installed counterparts, merges the ".i" index
// files of ".upd" packages, carries out del.lst, never copies login.dat, and
// reports the progress counted in doneBytes of totalBytes.
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <functional>
#include <string>

#include "launcher/system/run_log.h"
#include "platform/error.h"

// Where a package is installed: the program directory (with a trailing
// separator), the run log, and the byte counters of the update's progress,
// which every installed entry adds to (the frame's installDoneBytes of its
// installTotalBytes). A view of the caller's objects: the run log and the
// done count change through it, and they must outlive the installation.
struct InstallTarget {
  const wxString& programDir;
  RunLogHandle& log;
  const uint32_t& totalBytes;
  uint32_t& doneBytes;
};

// Told the installation's progress in percent (the update panel's bar).
using InstallProgress = std::function<void(float percent)>;

// The package being installed and the game version it is installed for.
// A commit cut short (a crash, a failed step) is repeated by a later start;
// the merges it had done are then not done again, since a merge appends its
// records (see applied_packages.h). An empty fingerprint keeps no record.
struct InstalledPackage {
  wxString version;
  std::string fingerprint;
};

// Walks `dir` (first called with the unpacked package directory as both
// `dir` and `root`) and installs each entry at target.programDir + its path
// below `root`, each part of it found under its installed name in any
// letter case (installed_names.h). A subdirectory whose counterpart exists
// is walked; an empty one, or one with no counterpart, is copied whole. An
// entry named like one of the launcher's records is skipped with an error
// line. Not transactional: it stops at the first entry that fails (false).
// The new files and merged indexes are written beside their targets first,
// within the disk's room, and take their places only once all of them are
// written and on disk, with del.lst in its turn; an entry that cannot be
// written leaves the installation untouched, and an installed file is only
// ever replaced whole. A replaced file keeps its permission bits.
// Shut-down stops the walk between files, before anything is put in place.
// A failure says why ("disk full writing <file>", "merging <index>: ...").
platform::Status InstallPackage(const InstallTarget& target, const wxString& dir,
                                const wxString& root, bool isTre, const InstallProgress& progress,
                                const InstalledPackage& package = {});

// InstallPackage, told as true or false.
bool InstallUpdateFiles(const InstallTarget& target, const wxString& dir, const wxString& root,
                        bool isTre, const InstallProgress& progress,
                        const InstalledPackage& package = {});
