// The launcher's worker threads: the update thread and the server-list
// thread each run one callback with the user data given at construction
// (the frame, which carries the environment of the network roads). The
// system's threads are had through a RoadEnvironment.
//
// A started thread belongs to the worker registry, not to its starter (as a
// detached thread would). Shut-down first asks the workers to stop and then
// waits for every one of them, so nothing a worker may still use is freed
// under it. Worker bodies poll WorkerStopRequested() wherever they wait or
// retry, and give up as soon as it is true.
#pragma once

#include <wx/string.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "launcher/system/road_environment.h"

using ThreadCallback = void (*)(void* userData);

class MyThread {
 public:
  MyThread(ThreadCallback callback, void* userData, RoadEnvironment& environment);
  ~MyThread();
  MyThread(const MyThread&) = delete;
  MyThread& operator=(const MyThread&) = delete;

  // Prepares the thread; 0 on success. The stack size is accepted for
  // callers' sake; 0 means the default.
  int Create(unsigned stackSize = 0);

  // Starts the thread; 0 on success. On success the object passes to the
  // worker registry: the caller must forget it (and never delete it). On
  // failure the caller still owns it.
  int Run();

  // Why the last Create or Run failed; empty when neither did.
  const wxString& FailureCause() const { return failureCause_; }

  void* userData() const { return userData_; }

 private:
  void Entry();
  bool finished() const { return finished_; }
  friend bool WaitForWorkers(unsigned timeoutMs);

  ThreadCallback callback_;
  void* userData_;
  RoadEnvironment& environment_;
  bool created_ = false;
  wxString failureCause_;
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

// Creates and starts a worker running `callback(userData)` on a thread of
// `environment`. When it cannot be created or started, the run log gets
// `createError` or `runError` and nothing runs.
void StartWorker(RoadEnvironment& environment, ThreadCallback callback, void* userData,
                 const char* createError, const char* runError);

// Asks every worker to stop; safe from any thread.
void RequestWorkerStop();

// True once shut-down has asked the workers to stop.
bool WorkerStopRequested();

// Waits up to `timeout`, or less when the stop is asked meanwhile; true
// when it has been asked.
bool WaitForWorkerStop(std::chrono::milliseconds timeout);

// Waits up to `timeoutMs` for every started worker to return from its
// callback; true when all have. Joins and frees nothing.
bool WaitForWorkers(unsigned timeoutMs);

// Waits for every started worker to end and frees their objects. Called by
// shut-down after RequestWorkerStop(); must not be called from a worker.
void JoinWorkerThreads();

// Clears the stop request for a fresh start (a new run in the same process).
void ResetWorkerStop();

// The number of started workers that have not been joined yet.
int RunningWorkerCount();
