// Temporary files of the update road (a download, a staged copy of an
// installation). Each is created beside its target under a fresh name that
// no file had before, so it never overwrites a game file, whatever the game
// calls its files, and is noted in a ledger in the program directory. A run
// that is killed leaves its temporaries behind; the next start removes
// exactly the files the ledger names, never a file the launcher did not
// create, and without walking the game directory.
#pragma once

#include <string>

// The ledger's name in the program directory.
inline constexpr char kTemporaryLedgerFile[] = "update.temporaries";

// What the name of a download's and of a staged copy's temporary ends in.
inline constexpr char kDownloadTemporarySuffix[] = ".download";
inline constexpr char kInstallTemporarySuffix[] = ".install.part";

// Creates an empty file (mode 0600) named `target` + "." + six random
// characters + `suffix` (the target's name cut short when that would be too
// long for a directory entry), noted (made absolute) in the ledger of
// `ledgerDir` before it is created, so that a kill at any moment leaves no
// file the ledger does not name. Returns the open descriptor and sets `path`
// (relative when `target` is); -1 (no file left behind) when the file cannot
// be created or noted.
int CreateNotedTemporary(const std::string& ledgerDir, const std::string& target,
                         const char* suffix, std::string& path);

// Gives the plain file `source` a second name made as CreateNotedTemporary
// makes its files' names, and notes it; no file is created. False (no name
// left behind) when the link cannot be made (another filesystem, one that
// refuses links) or noted.
bool LinkNotedTemporary(const std::string& ledgerDir, const std::string& source,
                        const std::string& target, const char* suffix, std::string& path);

// Every noted temporary has been renamed or removed: the ledger goes.
void ForgetNotedTemporaries(const std::string& ledgerDir);

// Removes the noted temporaries that still exist (plain files only, inside
// `ledgerDir`: a ledger that names files elsewhere, as one copied with its
// program directory does, removes none of them), then the ledger. The
// ledger is never read or written through a link.
void RemoveNotedTemporaries(const std::string& ledgerDir);
