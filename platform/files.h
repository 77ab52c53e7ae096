// File and directory services beyond what wxWidgets gives: native paths,
// creating an empty file, attributes, and whole-tree copy and delete.
#pragma once

#include <string>

namespace platform {

inline constexpr char kPathSeparator = '/';

// Turns both "\" and "/" in a name that came from outside (a zip entry, a
// manifest, a list file) into the native separator.
std::string ToNativeSeparators(std::string path);

bool FileExists(const std::string& path);  // a plain file (not a directory)
bool DirectoryExists(const std::string& path);

// Creates an empty file when none exists and leaves an existing one alone.
// A symbolic link under the name is not followed (so nothing is created
// where one that names nothing points). False when no file is there (or
// behind a link) and none could be created.
bool CreateFileIfMissing(const std::string& path);

// Removes a file; false when it could not be removed.
bool DeleteFile(const std::string& path);

// Clears the read-only state of a file (gives the owner write permission),
// so that an installed file may be replaced.
bool MakeWritable(const std::string& path);
bool IsReadOnly(const std::string& path);

// Copies a file or a whole directory tree to `to`, replacing files there.
bool CopyRecursively(const std::string& from, const std::string& to);

// Deletes a file or a whole directory tree; true when nothing is left.
bool DeleteRecursively(const std::string& path);

// The first `limit` bytes (or a little more) of the open file `fd` from its
// position, as text: a small record or a /proc file, whatever its size.
std::string ReadUpTo(int fd, size_t limit);

}  // namespace platform
