#include "skinui/ui_lock.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace skinui {
namespace {

// A recursive lock that can be released completely and taken back at the
// same depth, which std::recursive_mutex cannot do.
class UiLock {
 public:
  void Lock() {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::thread::id me = std::this_thread::get_id();
    if (depth_ > 0 && owner_ == me) {
      ++depth_;
      return;
    }
    free_.wait(lock, [this] { return depth_ == 0; });
    owner_ = me;
    depth_ = 1;
  }

  void Unlock() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (depth_ > 0 && --depth_ == 0) {
      owner_ = std::thread::id();
      free_.notify_all();
    }
  }

  int ReleaseAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (depth_ == 0 || owner_ != std::this_thread::get_id()) return 0;
    const int depth = depth_;
    depth_ = 0;
    owner_ = std::thread::id();
    free_.notify_all();
    return depth;
  }

  void Reacquire(int depth) {
    if (depth <= 0) return;
    std::unique_lock<std::mutex> lock(mutex_);
    free_.wait(lock, [this] { return depth_ == 0; });
    owner_ = std::this_thread::get_id();
    depth_ = depth;
  }

 private:
  std::mutex mutex_;
  std::condition_variable free_;
  std::thread::id owner_;
  int depth_ = 0;
};

// Never destroyed: detached workers may still touch controls at exit.
UiLock& TheLock() {
  static UiLock* lock = new UiLock;
  return *lock;
}

}  // namespace

UiLockGuard::UiLockGuard() { TheLock().Lock(); }
UiLockGuard::~UiLockGuard() { TheLock().Unlock(); }

UiLockRelease::UiLockRelease() : depth_(TheLock().ReleaseAll()) {}
UiLockRelease::~UiLockRelease() { TheLock().Reacquire(depth_); }

}  // namespace skinui
