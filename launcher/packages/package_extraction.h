// Unpacks a downloaded update package (".upd" or ".tre", a zip archive)
// into the directory named after it, beside it.
#pragma once

#include <wx/string.h>

#include <functional>

#include "platform/error.h"

// Told the share of entries done, in percent, after each entry.
using PackageProgress = std::function<void(float percent)>;

// Opens `stem` + ".tre" (isTre) or `stem` + ".upd" (the extension in any
// letter case, as a package made on Windows may spell it) and writes every
// entry below the directory `stem`. The stem comes with every backslash
// doubled (as the status callback passes it); each doubled backslash is
// read as the one it stands for, and the path is otherwise taken as given.
// Whatever the directory held before (an earlier, interrupted unpacking)
// goes first. A package whose entries declare more than the disk's room
// (disk_room.h) is not unpacked at all. A bad entry is skipped (its code
// kept as the last archive result, see archive_reader.h) and the rest are
// still unpacked, but the package then counts as failed and nothing of its
// directory is left: a failure, as when the package cannot be opened, is no
// zip archive, or its stem is empty (it would unpack into the directory that
// holds it, or the root). A failure says why: the first entry that failed
// with its archive code ("damaged entry <name> (its data does not inflate,
// archive code 0x5000000)"), or what kept the package from being unpacked.
platform::Status UnpackPackage(const wxString& stem, bool isTre, const PackageProgress& progress);

// UnpackPackage, told as true or false.
bool UnzipPackage(const wxString& stem, bool isTre, const PackageProgress& progress);
