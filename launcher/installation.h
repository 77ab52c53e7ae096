// Installs an unpacked update package into the program directory: copies
// ordinary files over their installed counterparts, merges the ".i" index
// files of ".upd" packages, carries out del.lst, never copies login.dat, and
// reports the progress counted in frame.installDoneBytes of
// frame.installTotalBytes.
#pragma once

#include <wx/string.h>

#include <functional>

class LauncherFrameWnd;

// Told the installation's progress in percent (the update panel's bar).
using InstallProgress = std::function<void(float percent)>;

// Walks `dir` (first called with the unpacked package directory as both
// `dir` and `root`) and installs each entry at frame.programDir + its path
// below `root`. A subdirectory whose counterpart exists is walked; an empty
// one, or one with no counterpart, is copied whole. Not transactional: it
// stops at the first entry that fails (false). The new files are written
// beside their targets first and take their places only once all of them
// are written and on disk, with the merges and del.lst in their turn; an
// entry that cannot be written leaves the installation untouched, and an
// installed file is only ever replaced whole. A replaced file keeps its
// permission bits. Shut-down stops the walk between files, before anything
// is put in place.
bool InstallUpdateFiles(LauncherFrameWnd& frame, const wxString& dir, const wxString& root,
                        bool isTre, const InstallProgress& progress);

// Copies directory `source` with everything in it to `target`, creating
// directories as needed and replacing files there; into an existing target
// its contents are merged.
bool CopyDirectory(const wxString& source, const wxString& target);
