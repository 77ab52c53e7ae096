// How minizip reads an archive: through two buffers of the reader's own,
// filled with pread. A seek within a buffer costs nothing, where stdio's
// would throw its buffer away; minizip seeks before nearly every read.
#pragma once

#include <unzip.h>

#include <string>

// A minizip reader on the archive at `path` (as unzOpen64 gives); null when
// it cannot be opened or is no zip archive.
unzFile OpenArchiveFile(const std::string& path);
