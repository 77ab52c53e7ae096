// Unpacks a downloaded update package (".upd" or ".tre", a zip archive)
// into the directory named after it, beside it.
#pragma once

#include <wx/string.h>

#include <functional>

// Told the share of entries done, in percent, after each entry.
using PackageProgress = std::function<void(float percent)>;

// Opens `stem` + ".tre" (isTre) or `stem` + ".upd" and writes every entry
// below the directory `stem`. Backslashes in the stem (doubled or not) are
// read as separators. False only when the package cannot be opened or is no
// zip archive; a bad entry is skipped (its code kept as the last archive
// result, see archive_reader.h) and the rest are still unpacked.
bool UnzipPackage(const wxString& stem, bool isTre, const PackageProgress& progress);
