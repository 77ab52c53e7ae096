// The size of a file for the launcher's size tests (cached and downloaded
// server list, installation progress).
#pragma once

#include <wx/string.h>

#include <cstdint>

#include "launcher/system/run_log.h"

// The file's size in bytes, 4294967295 for 4 GiB or more. 1 when `path`
// names no file (missing, or a directory) or its size cannot be read; each
// case writes its error line to the run log when that is open.
uint32_t QueryFileSize(const wxString& path, RunLogHandle& log);
