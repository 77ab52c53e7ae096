#include "launcher/packages/inflate_ahead.h"

#include <unzip.h>

#include <algorithm>

#include "launcher/packages/archive_file.h"
#include "launcher/packages/archive_reader.h"
#include "launcher/packages/entry_reading.h"
#include "launcher/system/mini_dumper.h"

namespace {

constexpr unsigned kMostWorkers = 4;
constexpr size_t kLongestRead = size_t{1} << 30;

// An entry inflated into its room in the ring, which holds its declared
// size; a byte beyond that stops the read.
struct RingSink final : EntrySink {
  RingSink(char* room, size_t declared) : out(room), size(declared) {}
  char* Room(unsigned& length) override {
    if (got == size) {
      length = sizeof beyond;
      return beyond;
    }
    length = static_cast<unsigned>(std::min(size - got, kLongestRead));
    return out + got;
  }
  bool Took(size_t length) override {
    overflowed = got == size;
    if (!overflowed) got += length;
    return !overflowed;
  }

  char* const out;
  const size_t size;
  size_t got = 0;
  bool overflowed = false;
  char beyond[16];
};

}  // namespace

InflateAhead::InflateAhead(std::string path, std::vector<Entry> entries, unsigned workers)
    : path_(std::move(path)),
      entries_(std::move(entries)),
      ring_(new char[kRingSize]),
      slots_(entries_.size()) {
  for (size_t index = 0; index < entries_.size(); ++index) {
    const uint64_t size = entries_[index].size;
    if (size == 0 || size > kLargestEntry) slots_[index].state = State::kNotAhead;
  }
  for (unsigned i = 0; i < workers; ++i)
    workers_.push_back(MiniDumper::StartThread([this] { Work(); }));
}

InflateAhead::~InflateAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  workersWake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

unsigned InflateAhead::WorkersForThisMachine() {
  const unsigned processors = std::thread::hardware_concurrency();
  return processors < 2 ? 0 : std::min(kMostWorkers, processors - 1);
}

void InflateAhead::Work() {
  unzFile zip = OpenArchiveFile(path_);
  std::unique_lock<std::mutex> lock(mutex_);
  const int32_t count = static_cast<int32_t>(slots_.size());
  while (!stopping_ && zip) {
    nextToInflate_ = std::max(nextToInflate_, firstWanted_);
    while (nextToInflate_ < count && slots_[nextToInflate_].state != State::kWaiting) {
      ++nextToInflate_;
    }
    if (nextToInflate_ >= count) break;
    const int32_t index = nextToInflate_;
    Slot& slot = slots_[index];
    size_t offset = 0;
    if (!Reserve(index, entries_[index].size, offset)) {
      ++waitingWorkers_;
      workersWake_.wait(lock);
      --waitingWorkers_;
      continue;
    }
    ++nextToInflate_;
    slot.state = State::kInflating;
    slot.reserved = true;
    slot.offset = offset;
    // Only this worker touches the slot's room until it is done; the slot
    // itself is shared, so its results are stored under the lock.
    lock.unlock();
    size_t size = 0;
    uint32_t result = 0;
    const bool read = Inflate(zip, index, offset, size, result);
    lock.lock();
    slot.size = size;
    slot.result = result;
    slot.state = read ? State::kDone : State::kNotAhead;
    if (!read || slot.givenUp) ReleaseRoom(index);
    if (awaited_ == index) entryDone_.notify_one();
  }
  lock.unlock();
  if (zip) unzClose(zip);
}

bool InflateAhead::Inflate(void* handle, int32_t index, size_t offset, size_t& size,
                           uint32_t& outcome) {
  unzFile zip = static_cast<unzFile>(handle);
  const Entry& entry = entries_[index];
  unz64_file_pos position{entry.directoryOffset, entry.number};
  if (unzGoToFilePos64(zip, &position) != UNZ_OK) return false;
  RingSink sink(ring_.get() + offset, entry.size);
  outcome = ReadCurrentEntry(zip, sink, archive_result::kInflateFailed);
  size = sink.got;
  // More than declared: left to the extraction's own reading.
  return !sink.overflowed;
}

bool InflateAhead::Reserve(int32_t index, size_t length, size_t& offset) {
  if (reservations_.empty()) {
    head_ = 0;
    offset = 0;
  } else {
    const size_t tail = reservations_.front().offset;
    if (head_ > tail) {
      // In use: [tail, head). Room after it, else at the start.
      if (kRingSize - head_ >= length) {
        offset = head_;
      } else if (tail >= length) {
        offset = 0;
      } else {
        return false;
      }
    } else {
      // In use: [tail, end) and [0, head).
      if (tail - head_ < length) return false;
      offset = head_;
    }
  }
  head_ = offset + length;
  reservations_.push_back(Reservation{index, offset, length, false});
  return true;
}

void InflateAhead::ReleaseRoom(int32_t index) {
  Slot& slot = slots_[index];
  if (!slot.reserved) return;
  slot.reserved = false;
  // Reserved in entry order: the deque is sorted by index.
  const auto at = std::lower_bound(
      reservations_.begin(), reservations_.end(), index,
      [](const Reservation& reservation, int32_t wanted) { return reservation.index < wanted; });
  if (at != reservations_.end() && at->index == index) at->released = true;
  while (!reservations_.empty() && reservations_.front().released) reservations_.pop_front();
}

void InflateAhead::GiveUp(int32_t index) {
  Slot& slot = slots_[index];
  slot.givenUp = true;
  if (slot.state == State::kWaiting) slot.state = State::kNotAhead;
  // One being inflated keeps its room until its worker is done with it.
  if (slot.state != State::kInflating) ReleaseRoom(index);
}

bool InflateAhead::Take(int32_t index, const char*& data, size_t& size, uint32_t& result) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (taken_ >= 0) {
    ReleaseRoom(taken_);
    taken_ = -1;
  }
  const int32_t count = static_cast<int32_t>(slots_.size());
  if (index < firstWanted_ || index >= count) return false;
  for (int32_t before = firstWanted_; before < index; ++before) GiveUp(before);
  firstWanted_ = index + 1;
  Slot& slot = slots_[index];
  // No worker has it yet: reading it here is quicker than waiting.
  if (slot.state == State::kWaiting) slot.state = State::kNotAhead;
  WakeWorkers();
  awaited_ = index;
  entryDone_.wait(lock, [&slot] { return slot.state != State::kInflating; });
  awaited_ = -1;
  if (slot.state != State::kDone) return false;
  data = ring_.get() + slot.offset;
  size = slot.size;
  result = slot.result;
  taken_ = index;
  return true;
}

void InflateAhead::Release() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (taken_ >= 0) ReleaseRoom(taken_);
  taken_ = -1;
  WakeWorkers();
}

void InflateAhead::WakeWorkers() {
  if (waitingWorkers_ > 0) workersWake_.notify_all();
}
