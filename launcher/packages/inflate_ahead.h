// Inflates a zip archive's entries on worker threads ahead of their
// extraction, so that the extracting thread is left with writing the files.
// Each worker reads the archive through a minizip reader of its own, exactly
// as the extraction reads an entry, into one ring of memory of a fixed size;
// entries are inflated and taken in archive order. An entry that no worker
// has started when the extraction reaches it, one too large for the ring, or
// one asked for out of order is not given: the caller inflates it itself,
// with the same outcome.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class InflateAhead {
 public:
  // Room for the inflated entries not yet taken; an entry declaring more
  // is never inflated ahead.
  static constexpr size_t kRingSize = size_t{8} << 20;
  static constexpr size_t kLargestEntry = size_t{2} << 20;

  // One entry as the central directory places it (minizip's file position);
  // `size` is its declared uncompressed size, 0 for one not to inflate ahead.
  struct Entry {
    uint64_t directoryOffset = 0;
    uint64_t number = 0;
    uint64_t size = 0;
  };

  // Starts `workers` threads on the archive at `path`.
  InflateAhead(std::string path, std::vector<Entry> entries, unsigned workers);
  // Stops the workers (an entry being inflated is finished first).
  ~InflateAhead();
  InflateAhead(const InflateAhead&) = delete;
  InflateAhead& operator=(const InflateAhead&) = delete;

  // The workers a reader should start on this machine: none where there is
  // no second processor.
  static unsigned WorkersForThisMachine();

  // The content of entry `index` and the result of reading it (an archive
  // result code: what the read gave up to its end or failure), waiting for
  // the worker that has it. False when it is not there to take: the caller
  // reads the entry itself. Entries before `index` not taken by then are
  // given up; the content stays valid until the next Take or Release.
  bool Take(int32_t index, const char*& data, size_t& size, uint32_t& result);
  // Done with what the last Take gave.
  void Release();

 private:
  enum class State { kWaiting, kInflating, kDone, kNotAhead };
  struct Slot {
    State state = State::kWaiting;
    bool reserved = false;  // holds room in the ring
    bool givenUp = false;   // the extraction went past it
    size_t offset = 0;
    size_t size = 0;
    uint32_t result = 0;
  };
  struct Reservation {
    int32_t index;
    size_t offset;
    size_t length;
    bool released;
  };

  void Work();
  // Inflates entry `index` into the ring at `offset`, giving the bytes
  // inflated and the read's result; false when this worker could not read
  // it the way the extraction would. Runs without the lock.
  bool Inflate(void* zip, int32_t index, size_t offset, size_t& size, uint32_t& outcome);
  bool Reserve(int32_t index, size_t length, size_t& offset);
  void ReleaseRoom(int32_t index);
  void GiveUp(int32_t index);
  // With the lock held.
  void WakeWorkers();

  const std::string path_;
  const std::vector<Entry> entries_;
  std::unique_ptr<char[]> ring_;

  std::mutex mutex_;
  std::condition_variable workersWake_;  // room freed, entries passed, or stopping
  std::condition_variable entryDone_;
  int waitingWorkers_ = 0;
  int32_t awaited_ = -1;  // the entry the extraction waits for
  std::vector<Slot> slots_;
  std::deque<Reservation> reservations_;  // oldest first, in entry order
  size_t head_ = 0;                       // where the newest reservation ends
  int32_t nextToInflate_ = 0;
  int32_t firstWanted_ = 0;  // the extraction has gone past the entries before
  int32_t taken_ = -1;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};
