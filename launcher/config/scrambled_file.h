// Scrambled data files (Do.ini, web.ini, ServerList.xml): one stored byte per
// plain byte, stored = plain + key[n % 8] (mod 256), with n counting stored
// bytes from 0. The launcher only reads them: it writes the plain form into
// a file beside the scrambled one and reads that.
#pragma once

#include <wx/string.h>

#include <string>

#include "platform/stdio_file.h"

// The key of the launcher's scrambled files; only its first 8 characters
// take part.
extern const wxString kConfigCipherKey;

// Writes the plain form of InstancePath() + sourceName to InstancePath() +
// targetName (created or truncated). False when the source cannot be opened
// for update (no target is made then) or the target cannot be created.
bool UnscrambleFile(const wxString& targetName, const wxString& sourceName, const wxString& key);

// The byte loop, reading `source` to its end. The key
// index starts at the length of `keyBytes` (up to a NUL) and wraps to 0
// before a byte once it is past 7; key bytes beyond the key's end count as
// 0, so a key shorter than 8 begins with zero bytes. The plain output is text: each
// 0x0A is written as 0x0D 0x0A, which does not shift the key cycle. False
// when the target cannot be created or the source fails to read midway.
bool UnscrambleStream(const std::string& targetPath, platform::StdioFile source,
                      const std::string& keyBytes);
