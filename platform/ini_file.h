// INI files: the reader and writer behind the launcher's Do.ini, web.ini and
// the migrations into resolution.ini and version.ini.
//
// Values come out as the Windows INI functions give them: lines end at CR or
// LF (a file unscrambled in text mode ends them in CR CR LF), white space
// around names and values is dropped, a value in matching quotes loses them,
// and only the first section of a name is searched. Section and key names
// match without regard to ASCII case; a line that is not a section header or
// a key=value pair is skipped. Text is UTF-8, or UTF-16LE in a file that
// starts with its byte-order mark (saved as "Unicode" on Windows; rewritten
// so). Invalid UTF-8 is carried through as bytes and never fails a read.
#pragma once

#include <string>
#include <vector>

namespace platform {

// A value is at most this many characters long when it is read; longer
// values are cut to their first kIniValueMaxChars characters (never inside a
// multi-byte character).
inline constexpr size_t kIniValueMaxChars = 254;

// The value of `key` in `section` of the file at `path`; `defaultValue`
// without its trailing blanks when the file, the section or the key is
// missing. A key that is present with an
// empty value gives "".
std::string ReadIniString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& defaultValue);

// Sets `key` in `section`, adding the section and the key when they are
// missing and creating the file when it does not exist. Other lines of the
// file stay as they were. False when the file cannot be written.
bool WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value);

// The names of the file's sections in file order; empty when the file is
// missing or holds no section.
std::vector<std::string> ReadIniSectionNames(const std::string& path);

// True exactly when the file holds at least one section. The launcher uses
// this to tell a plain INI file from a scrambled one.
bool IniFileHasSection(const std::string& path);

}  // namespace platform
