// The one process-wide UI lock. Every public operation of a control, a
// window or a paint manager takes it, and the message loop holds it while it
// dispatches a message, so worker threads may change controls (texts,
// progress values, enabled state, list items) at any time: their change waits
// until the UI thread is between two messages.
//
// The lock is recursive on the owning thread. The message loop releases it
// completely while it waits for the next message, also when it runs nested
// (a modal window), so a worker never waits for longer than one message.
//
// Do not hold the lock while waiting for another thread that may need it.
#pragma once

namespace skinui {

// Takes the UI lock for the lifetime of the object.
class UiLockGuard {
 public:
  UiLockGuard();
  ~UiLockGuard();
  UiLockGuard(const UiLockGuard&) = delete;
  UiLockGuard& operator=(const UiLockGuard&) = delete;
};

// Releases every level the calling thread holds on the UI lock and takes the
// same number back when the object goes away. Used while waiting.
class UiLockRelease {
 public:
  UiLockRelease();
  ~UiLockRelease();
  UiLockRelease(const UiLockRelease&) = delete;
  UiLockRelease& operator=(const UiLockRelease&) = delete;

 private:
  int depth_;
};

}  // namespace skinui
