// The launcher's start-up reading of its configuration files, called by the
// frame's Init on the UI thread, in this order, before any worker starts:
// LoadMainConfig, LoadResolutionConfig, LoadVersionConfig, SetDefaultUrls,
// LoadAddrConfig, LoadWebConfig. All files lie in InstancePath().
#pragma once

#include <wx/string.h>

#include "launcher/config/launcher_urls.h"

// Sets `programDir` and loads orvo.ini into SetupConfig(). False when
// orvo.ini cannot be read (the caller logs it).
bool LoadMainConfig(wxString& programDir);

// Creates resolution.ini from the old [Setup] keys of orvo.ini when it is
// missing, then loads it into GameSettings().
bool LoadResolutionConfig();

// Creates version.ini from orvo.ini when it is missing, then loads it into
// VersionConfig().
bool LoadVersionConfig();

// The URLs before Do.ini and web.ini: the server-list and update URLs from
// SetupConfig(), the web pages from fixed defaults.
void SetDefaultUrls(LauncherUrls& urls);

// Overrides the server-list and update URLs from [Addr] of Do.ini (plain or
// scrambled); a stale Do.ini.tmp is removed first.
void LoadAddrConfig(LauncherUrls& urls);

// Overrides the web-page URLs from [Web] of web.ini (plain or scrambled).
void LoadWebConfig(LauncherUrls& urls);
