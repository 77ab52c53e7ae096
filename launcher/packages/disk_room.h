// Room on a filesystem for what an update step is about to write. A reserve
// stays free for the game and the system, so a step that would eat into it
// is refused before it writes anything.
#pragma once

#include <cstdint>

// The reserve kept free: 64 MiB, or a sixteenth of a smaller filesystem.
inline constexpr uint64_t kDiskReserve = uint64_t{64} << 20;

struct DiskRoom {
  uint64_t bytes = UINT64_MAX;  // what may still be written (no limit when unknown)
  uint64_t block = 4096;        // the unit in which files take space
};

// The room on the filesystem of the open file or directory `fd`.
DiskRoom RoomOnFilesystemOf(int fd);

// The space `bytes` of content take in files of `block`-sized units: whole
// blocks, and one for even an empty file's entry.
uint64_t Footprint(uint64_t bytes, uint64_t block);

// a + b, or the largest value when that does not fit: sums of sizes that a
// package declares must not wrap round to small numbers.
uint64_t AddSaturating(uint64_t a, uint64_t b);
