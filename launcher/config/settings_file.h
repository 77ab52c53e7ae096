// Reading and writing the settings INI files (orvo.ini, version.ini,
// resolution.ini) as whole UTF-8 texts through wxFileConfig, shared by the
// three settings records.
#pragma once

#include <wx/fileconf.h>
#include <wx/strconv.h>
#include <wx/string.h>

#include <memory>

// UTF-8 that keeps bytes which are not valid UTF-8 (GBK text, say): they
// become private-use characters and turn back into the same bytes when
// written, instead of emptying the whole text.
const wxMBConvUTF8& SettingsTextConverter();

// The parsed file; null when `path` is not a regular file or cannot be read.
// A leading UTF-8 byte-order mark is dropped (and so not written back).
// Bytes that are not valid UTF-8 are carried through to the next write
// unchanged.
std::unique_ptr<wxFileConfig> ReadSettingsFile(const wxString& path);

// Replaces the regular file at `path` with the whole configuration, UTF-8.
// False when `path` is no regular file or cannot be written.
bool WriteSettingsFile(wxFileConfig& config, const wxString& path);
