// The launcher's callbacks that the update library calls on the update
// thread while it applies patches: one for each fetched file, each finished
// version step and the end of the update; one for download progress.
#pragma once

#include <cstdint>

// The library's status call. `user` is the LivePatchHolder (the patch
// object's userData); null makes the call do nothing.
//
// With `filePath`: a stored file. An update package (".upd", ".tre") is
// unpacked beside itself and installed with every running orvo.exe stopped
// first; a ".upd" package's download directory is deleted afterwards. A
// package that brings launcherupdate.exe is only recorded as a pending
// self-update. A package that cannot be unpacked or installed gives the
// update up: updateNeeded cleared, Enter game enabled. So does a package
// stored in the program directory whose directory-to-be already exists
// there (it would be unpacked into the installation). The updater is found
// in any letter case and started under its own name.
// Without a path and not `finished`: a version step is done; the version
// reached is stored in version.ini and shown, and a pending self-update is
// started, after which the launcher is asked to quit.
// Without a path and `finished`: the update is done.
//
// Runs on the update thread inside the library's apply call, with the
// holder's lock held. Once shut-down has begun no window is touched; files
// are still installed so that the stored versions match what is on disk.
void OnPatchStatus(const wchar_t* filePath, int32_t done, int32_t total, bool finished, void* user,
                   bool launcherSet, bool flag);

// libcurl's progress function for each patch-file download: shows the share
// downloaded on the update panel. 0 goes on; once shut-down has begun it
// answers 1, which aborts the transfer so the update thread can end soon.
int OnPatchProgress(void* clientData, double downloadTotal, double downloaded, double uploadTotal,
                    double uploaded);
