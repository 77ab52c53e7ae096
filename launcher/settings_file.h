// Reading and writing the settings INI files (orvo.ini, version.ini,
// resolution.ini) as whole UTF-8 texts through wxFileConfig, shared by the
// three settings records.
#pragma once

#include <wx/fileconf.h>
#include <wx/string.h>

#include <memory>

// The parsed file; null when it cannot be opened for reading. Bytes that are
// not valid UTF-8 are carried through to the next write unchanged instead of
// dropping the whole text.
std::unique_ptr<wxFileConfig> ReadSettingsFile(const wxString& path);

// Replaces the file at `path` with the whole configuration, UTF-8.
bool WriteSettingsFile(wxFileConfig& config, const wxString& path);
