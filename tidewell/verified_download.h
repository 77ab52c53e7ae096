// One patch file, the work of the patch object's DownloadAndVerify: fetched
// beside its target with the host's progress function, checked against its
// MD5 (a mismatch ends the process), put in the target's place and announced
// to the host by the per-file status call. It works on the patch object's
// public members: the host's transfer routine, pause and progress function,
// statusText and the status call.
#pragma once

#include <wx/string.h>

#include <cstdint>

#include "platform/error.h"
#include "tidewell/live_patch.h"

namespace tidewell {

// Downloads `url` to `target`, checks the MD5 when `expectedHash` is not
// empty, then makes the per-file status call. The transfer goes to a
// temporary file beside the target, which takes the target's place (and
// keeps an installed file's permission bits) only once it is complete and
// verified; until then, and after any failure, the target is untouched and
// no temporary file remains. The temporary file has a name no file had
// before and is noted in the ledger of `ledgerDirectory` for the start-up
// clean-up (update_temporaries.h). A body over `maxBytes` (when not 0)
// fails, and so does a target whose path statusText cannot hold; a failure
// says why ("HTTP 404 from <url> (10 attempts)", "disk full writing <target>").
platform::Status FetchVerifiedFile(CLivePatch& patch, const wxString& ledgerDirectory,
                                   const wxString& url, const wxString& target,
                                   const wxString& expectedHash, uint64_t maxBytes = 0);

}  // namespace tidewell
