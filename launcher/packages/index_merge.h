// The merges that apply the ".i" index files of a ".upd" package to the
// installed game.
#pragma once

#include <wx/string.h>

#include "launcher/system/run_log.h"

class IndexFile;

// login.dat.i: the package's entries (bytes from the package's login.dat)
// go into the installed login.dat, and the installed login.dat.i is updated
// to point at them. With no installed login.dat the package's login.dat is
// copied into place whole and its index installed as installed records
// (offsets kept, as they address that same data). Errors are written to the
// run log. False stops the installation.
bool MergeLoginData(const wxString& packageIndex, RunLogHandle& log,
                    const wxString& installedIndex);

// Applies the records of `patch` (a patch index loaded for the package's
// data file) to `installed` (an installed index loaded for the installed
// data file; its index is written at installed.indexPath). An entry that
// fits in its old place is overwritten there, a longer one and a new one go
// to the end of the data file. Before any write, every patch record must
// address bytes inside the package's data file; false when one does not,
// when installed.count does not match its installed records, or when a
// file cannot be opened or written.
bool MergeDataAndIndex(const IndexFile& patch, IndexFile& installed);

// Any other ".i" file: only the installed index changes; every record it
// installs or replaces gets the offset 0xFFFFFFFF and no data file is
// touched. With no installed index the package's index is installed,
// converted to installed records. An index larger than kLargestIndexFile
// is refused (false). Both are full paths of ".i" files.
bool MergeIndexFile(const wxString& installedIndex, const wxString& packageIndex);
