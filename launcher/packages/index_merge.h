// The merges that apply the ".i" index files of a ".upd" package to the
// installed game. A merge never writes an installed index in place: the
// whole merged index is written to a new file (a staged copy, see
// install_batch.h) that takes the installed one's place in one rename, so a
// kill at any moment leaves the old index or the new one. The data file
// (login.dat) is only ever appended to, and the old index never addresses
// what was appended, so the old pair stays whole until the new index is in
// place; a merge that is given up takes its appended bytes back.
#pragma once

#include <wx/string.h>

#include <cstdint>

#include "launcher/system/run_log.h"
#include "platform/error.h"

class InstallBatch;

// A merge may add to the data file at most this many times the package's
// own data file, plus kMergeGrowthSlack: records that all name the same
// bytes must not grow the installed file without bound.
inline constexpr uint64_t kMergeGrowthFactor = 2;
inline constexpr uint64_t kMergeGrowthSlack = uint64_t{1} << 20;

// login.dat.i: the package's entries (bytes from the package's login.dat,
// found beside its index in any letter case) are appended to the installed
// data file `installedData`, and the installed index is staged pointing at
// them; an entry of length 0 keeps its place. With no installed data file
// the package's login.dat and its index (as installed records, offsets
// kept, as they address that same data) are staged in its place, the index
// first. Errors are written to the run log, each line followed by its
// cause. A failure stops the installation, saying why: a package index that
// reaches outside its data file, grows the data file too far or past 4 GiB,
// or does not fit in the disk's room.
platform::Status StageLoginDataMerge(InstallBatch& batch, RunLogHandle& log,
                                     const wxString& packageIndex, const wxString& installedIndex,
                                     const wxString& installedData);

// Any other ".i" file: only the installed index changes; every record it
// installs or replaces gets the offset 0xFFFFFFFF and no data file is
// touched. With no installed index the package's index is installed,
// converted to installed records. An index larger than kLargestIndexFile
// is refused. Both are full paths of ".i" files. A failure says why.
platform::Status StageIndexFileMerge(InstallBatch& batch, const wxString& installedIndex,
                                     const wxString& packageIndex);

// The same merges on their own, put in place at once: the installed data
// file is the one beside `installedIndex` whose name, in any letter case,
// is the index's without ".i".
bool MergeLoginData(const wxString& packageIndex, RunLogHandle& log,
                    const wxString& installedIndex);
bool MergeIndexFile(const wxString& installedIndex, const wxString& packageIndex);

// The data file of an index: its path up to the last "." (without ".i"),
// the name found in any letter case.
wxString DataFileOf(const wxString& indexPath);
