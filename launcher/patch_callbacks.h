// The launcher's callbacks that the update library calls on the update
// thread while it applies patches: one for each fetched file, each finished
// version step and the end of the update; one for download progress.
#pragma once

#include <cstdint>

// The library's status call. `user` is the LivePatchHolder (the patch
// object's userData); null makes the call do nothing.
void OnPatchStatus(const wchar_t* filePath, int32_t done, int32_t total, bool finished,
                   void* user, bool launcherSet, bool flag);

// libcurl's progress function for each patch-file download: shows the share
// downloaded on the update panel. 0 goes on; once shut-down has begun it
// answers 1, which aborts the transfer so the update thread can end soon.
int OnPatchProgress(void* clientData, double downloadTotal, double downloaded,
                    double uploadTotal, double uploaded);
