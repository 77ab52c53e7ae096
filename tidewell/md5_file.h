// Checking a whole file against an MD5 digest written in hexadecimal.
#pragma once

#include <wx/file.h>
#include <wx/string.h>

namespace tidewell {

// True when the MD5 of everything `file` holds from its current position to
// its end, as 32 hexadecimal digits, equals `expectedHash` ignoring case. A
// file that is not open, or a read error, hashes what was read so far.
bool VerifyFileMd5(wxFile& file, const wxString& expectedHash);

}  // namespace tidewell
