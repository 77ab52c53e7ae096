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

// Why ReadSettingsFile gives nothing for `path`, for the run log
// ("<path>: No such file or directory").
wxString WhySettingsFileUnreadable(const wxString& path);

// The same for a save, which writes the file whole: when nothing is at
// `path` (the file was deleted meanwhile, or a link there names nothing) an
// empty configuration, so that the save writes the file anew.
std::unique_ptr<wxFileConfig> ReadSettingsFileForSave(const wxString& path);

// Replaces the file at `path` with the whole configuration, UTF-8; a file
// that is missing is created. A link there is replaced, never written
// through. False when `path` is something else than a regular file (or a
// link to one) or cannot be written.
bool WriteSettingsFile(wxFileConfig& config, const wxString& path);
