#include "launcher/packages/inflate_ahead.h"

#include <fcntl.h>
#include <unistd.h>
#include <unzip.h>

#include <algorithm>
#include <cerrno>

#include "launcher/packages/archive_file.h"
#include "launcher/packages/archive_reader.h"
#include "launcher/packages/entry_reading.h"
#include "launcher/system/mini_dumper.h"
#include "platform/file_descriptor.h"

namespace {

constexpr unsigned kMostWorkers = 4;
// A worker claims entries a few at a time, so that neighbouring small entries
// are read by one worker from one buffer of the archive.
constexpr int32_t kMostClaimed = 8;
constexpr uint64_t kClaimedBytes = uint64_t{256} << 10;
constexpr size_t kWriteChunk = size_t{256} << 10;

// An entry inflated through one buffer into its file.
class WritingSink final : public EntrySink {
 public:
  WritingSink(int fd, char* buffer) : fd_(fd), buffer_(buffer) {}
  char* Room(unsigned& length) override {
    length = static_cast<unsigned>(kWriteChunk);
    return buffer_;
  }
  bool Took(size_t length) override { return platform::WriteAll(fd_, buffer_, length); }

 private:
  int fd_;
  char* buffer_;
};

}  // namespace

InflateAhead::InflateAhead(std::string path, std::string directory, std::vector<Entry> entries,
                           unsigned workers)
    : path_(std::move(path)),
      directory_(std::move(directory)),
      entries_(std::move(entries)),
      count_(static_cast<int32_t>(entries_.size())),
      slots_(new Slot[entries_.size()]) {
  for (int32_t index = 0; index < count_; ++index) {
    if (!entries_[index].unpack) slots_[index].state.store(kNotAhead);
  }
  for (unsigned i = 0; i < workers; ++i)
    workers_.push_back(MiniDumper::StartThread([this] { Work(); }));
}

InflateAhead::~InflateAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_.store(true);
  }
  workersWake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  for (int32_t index = 0; index < count_; ++index) {
    if (slots_[index].state.load() == kDone) close(slots_[index].fd);
  }
}

unsigned InflateAhead::WorkersForThisMachine() {
  const unsigned processors = std::thread::hardware_concurrency();
  return processors < 2 ? 0 : std::min(kMostWorkers, processors - 1);
}

bool InflateAhead::RoomToClaim() const {
  return next_.load() + kMostAhead / 4 <= firstWanted_.load() + kMostAhead;
}

bool InflateAhead::Claim(int32_t& first, int32_t& end) {
  for (;;) {
    if (stopping_.load() || unnamedFilesRefused_.load()) return false;
    first = next_.load();
    if (first >= count_) return false;
    const int32_t limit = std::min(count_, firstWanted_.load() + kMostAhead);
    if (first >= limit) {
      // Too far ahead: sleep until the extraction has taken a quarter.
      std::unique_lock<std::mutex> lock(mutex_);
      sleepingWorkers_.fetch_add(1);
      workersWake_.wait(
          lock, [this] { return stopping_.load() || next_.load() >= count_ || RoomToClaim(); });
      sleepingWorkers_.fetch_sub(1);
      continue;
    }
    end = first;
    uint64_t bytes = 0;
    while (end < limit && end - first < kMostClaimed && bytes < kClaimedBytes) {
      bytes += entries_[end].compressedSize;
      ++end;
    }
    if (!next_.compare_exchange_weak(first, end)) continue;
    // The extraction may have reached some of them already and read them
    // itself; the others it now waits for.
    for (int32_t index = first; index < end; ++index) {
      int expected = kWaiting;
      slots_[index].state.compare_exchange_strong(expected, kClaimed);
    }
    return true;
  }
}

void InflateAhead::Work() {
  unzFile zip = OpenArchiveFile(path_);
  const std::unique_ptr<char[]> buffer(new char[kWriteChunk]);
  int32_t first = 0, end = 0;
  while (zip && Claim(first, end)) {
    for (int32_t index = first; index < end; ++index) {
      if (slots_[index].state.load() != kClaimed) continue;
      int fd = -1;
      uint32_t result = 0;
      const bool unpacked = !stopping_.load() && Unpack(zip, index, buffer.get(), fd, result);
      if (unpacked) {
        slots_[index].fd = fd;
        slots_[index].result = result;
      }
      Finish(index, unpacked ? kDone : kNotAhead);
    }
  }
  if (zip) unzClose(zip);
}

bool InflateAhead::Unpack(void* handle, int32_t index, char* buffer, int& fd, uint32_t& result) {
  unzFile zip = static_cast<unzFile>(handle);
  const Entry& entry = entries_[index];
  unz64_file_pos position{entry.directoryOffset, entry.number};
  if (unzGoToFilePos64(zip, &position) != UNZ_OK) return false;
  do {
    fd = open(directory_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    // No unnamed files on this filesystem: the extraction does it all.
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) unnamedFilesRefused_.store(true);
    return false;
  }
  WritingSink sink(fd, buffer);
  result = ReadCurrentEntry(zip, sink, archive_result::kWriteFailed);
  return true;
}

void InflateAhead::Finish(int32_t index, State state) {
  Slot& slot = slots_[index];
  int expected = kClaimed;
  if (!slot.state.compare_exchange_strong(expected, state)) {
    // Given up meanwhile: nobody will take the file.
    if (state == kDone) close(slot.fd);
    return;
  }
  if (awaited_.load() == index) {
    std::lock_guard<std::mutex> lock(mutex_);
    entryDone_.notify_one();
  }
}

void InflateAhead::GiveUp(int32_t index) {
  // A worker finishing it sees kGone and closes its file itself.
  if (slots_[index].state.exchange(kGone) == kDone) close(slots_[index].fd);
}

bool InflateAhead::Take(int32_t index, int& fd, uint32_t& result) {
  const int32_t wanted = firstWanted_.load();
  if (index < wanted || index >= count_) return false;
  for (int32_t before = wanted; before < index; ++before) GiveUp(before);
  firstWanted_.store(index + 1);
  if (sleepingWorkers_.load() > 0 && RoomToClaim()) {
    std::lock_guard<std::mutex> lock(mutex_);
    workersWake_.notify_all();
  }
  Slot& slot = slots_[index];
  int state = kWaiting;
  // No worker has it yet: reading it here is quicker than waiting.
  if (slot.state.compare_exchange_strong(state, kGone)) return false;
  if (state == kClaimed) {
    std::unique_lock<std::mutex> lock(mutex_);
    awaited_.store(index);
    entryDone_.wait(lock, [&slot] { return slot.state.load() != kClaimed; });
    awaited_.store(-1);
    state = slot.state.load();
  }
  if (state != kDone) return false;
  slot.state.store(kGone);
  fd = slot.fd;
  result = slot.result;
  return true;
}
