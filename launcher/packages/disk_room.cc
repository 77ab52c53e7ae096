#include "launcher/packages/disk_room.h"

#include <sys/statvfs.h>

#include <algorithm>

DiskRoom RoomOnFilesystemOf(int fd) {
  DiskRoom room;
  struct statvfs info {};
  if (fstatvfs(fd, &info) != 0 || info.f_frsize == 0) return room;
  const uint64_t unit = info.f_frsize;
  const uint64_t capacity = static_cast<uint64_t>(info.f_blocks) * unit;
  // What an unprivileged writer may still use: the blocks kept for root
  // are the system's own reserve.
  const uint64_t free = static_cast<uint64_t>(info.f_bavail) * unit;
  const uint64_t reserve = std::min(kDiskReserve, capacity / 16);
  room.bytes = free > reserve ? free - reserve : 0;
  room.block = std::max<uint64_t>(unit, info.f_bsize);
  return room;
}

uint64_t Footprint(uint64_t bytes, uint64_t block) {
  if (block == 0) return bytes;
  const uint64_t blocks = std::max<uint64_t>(bytes / block + (bytes % block != 0), 1);
  return blocks > UINT64_MAX / block ? UINT64_MAX : blocks * block;
}

uint64_t AddSaturating(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }
