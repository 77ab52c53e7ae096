// Unpacks a zip archive's entries on worker threads ahead of their
// extraction, so that the extracting thread is left with giving each file its
// name. Each worker reads the archive through a minizip reader of its own,
// exactly as the extraction reads an entry, into an unnamed file on the
// target's filesystem (O_TMPFILE): nothing appears in any directory until the
// extraction, in archive order, links the file to its place, and a file the
// extraction never takes vanishes when it is closed. Workers claim entries in
// archive order, a few at a time, at most kMostAhead past the one the
// extraction waits for. An entry that no worker has started when the
// extraction reaches it, or one asked for out of order, is not given: the
// caller unpacks it itself, with the same outcome.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class InflateAhead {
 public:
  // How far the workers may go past the entry the extraction waits for:
  // each entry done ahead holds an open file.
  static constexpr int32_t kMostAhead = 128;

  // One entry as the central directory places it (minizip's file position).
  struct Entry {
    uint64_t directoryOffset = 0;
    uint64_t number = 0;
    uint64_t compressedSize = 0;
    bool unpack = false;  // false for directories and encrypted entries
  };

  // Starts `workers` threads on the archive at `path`; the unnamed files are
  // made in `directory`, which must be on the filesystem the entries go to.
  InflateAhead(std::string path, std::string directory, std::vector<Entry> entries,
               unsigned workers);
  // Stops the workers (an entry being unpacked is finished first) and closes
  // every file not taken.
  ~InflateAhead();
  InflateAhead(const InflateAhead&) = delete;
  InflateAhead& operator=(const InflateAhead&) = delete;

  // The workers a reader should start on this machine: none where there is
  // no second processor.
  static unsigned WorkersForThisMachine();

  // Entry `index` unpacked into an unnamed file: its descriptor (the
  // caller's to close from now on) and the result of reading the entry (an
  // archive result code), waiting for the worker that has it. False when it
  // is not there to take: the caller reads the entry itself. Entries before
  // `index` not taken by then are given up.
  bool Take(int32_t index, int& fd, uint32_t& result);

 private:
  enum State : int { kWaiting, kClaimed, kDone, kNotAhead, kGone };
  struct Slot {
    std::atomic<int> state{kWaiting};
    int fd = -1;
    uint32_t result = 0;
  };

  void Work();
  // Claims the next few entries for this worker: [first, end); false when
  // there is nothing left to claim.
  bool Claim(int32_t& first, int32_t& end);
  // Unpacks entry `index` into a new unnamed file; false when this worker
  // cannot (the extraction then reads the entry itself).
  bool Unpack(void* zip, int32_t index, char* buffer, int& fd, uint32_t& result);
  // Sets the claimed entry's outcome, and wakes the extraction if it waits
  // for it.
  void Finish(int32_t index, State state);
  void GiveUp(int32_t index);
  // True when the workers may claim a quarter of kMostAhead again.
  bool RoomToClaim() const;

  const std::string path_;
  const std::string directory_;
  const std::vector<Entry> entries_;
  const int32_t count_;
  std::unique_ptr<Slot[]> slots_;

  std::atomic<int32_t> next_{0};         // the first entry no worker has claimed
  std::atomic<int32_t> firstWanted_{0};  // the extraction has gone past the entries before
  std::atomic<int32_t> awaited_{-1};     // the entry the extraction waits for
  std::atomic<int> sleepingWorkers_{0};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> unnamedFilesRefused_{false};  // the filesystem cannot make them
  std::mutex mutex_;
  std::condition_variable workersWake_;
  std::condition_variable entryDone_;
  std::vector<std::thread> workers_;
};
