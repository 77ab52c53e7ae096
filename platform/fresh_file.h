// Creating a file that others may have prepared a trap for: run.log and
// crash dumps lie in the program directory, where a symbolic link or a
// second hard link planted under their names would otherwise redirect the
// write (and the truncation) to some other file.
#pragma once

namespace platform {

// Opens `path` for writing as an empty regular file of its own and returns
// the descriptor (close-on-exec), or -1 with errno set. An existing regular
// file with no other link is truncated in place; anything else under the
// name (a symbolic link, a hard link, a FIFO) is removed and a new file is
// created in its place. `readToo` opens it for reading as well. Uses only
// async-signal-safe calls, so a crash handler may call it.
int CreateFreshFile(const char* path, bool readToo);

// Opens `path` for writing from its start (created, or truncated when it
// exists) without ever writing through a link: a symbolic link, or a plain
// file that has a second name, is removed first and a new file takes its
// place. Anything else under the name (a device, say) is opened as it is.
// Returns the descriptor (close-on-exec), or -1 with errno set.
int OpenReplacingLinks(const char* path, bool readToo);

}  // namespace platform
