#include "launcher/system/my_thread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

#include "launcher/system/mini_dumper.h"
#include "launcher/system/run_log.h"
#include "platform/process.h"
#include "platform/tick.h"

namespace {

std::atomic<bool> g_stopRequested{false};

// Wakes the waits of WaitForWorkerStop when the stop is asked.
std::mutex& StopMutex() {
  static std::mutex mutex;
  return mutex;
}
std::condition_variable& StopSignal() {
  static std::condition_variable signal;
  return signal;
}

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<std::unique_ptr<MyThread>>& Registry() {
  static std::vector<std::unique_ptr<MyThread>> threads;
  return threads;
}

}  // namespace

MyThread::MyThread(ThreadCallback callback, void* userData, RoadEnvironment& environment)
    : callback_(callback), userData_(userData), environment_(environment) {}

MyThread::~MyThread() {
  // Only reached for a started thread through JoinWorkerThreads, which has
  // joined it already; joining here is the safety net.
  if (thread_.joinable()) thread_.join();
}

int MyThread::Create(unsigned /*stackSize*/) {
  if (const platform::Status prepared = environment_.PrepareThread(); !prepared) {
    failureCause_ = wxString::FromUTF8(prepared.error().message);
    return 1;
  }
  created_ = true;
  return 0;
}

int MyThread::Run() {
  if (!created_ || callback_ == nullptr) {
    failureCause_ = created_ ? "no thread body" : "the thread was not prepared";
    return 1;
  }
  std::lock_guard<std::mutex> lock(RegistryMutex());
  if (const platform::Status started = environment_.StartThread(thread_, [this] { Entry(); });
      !started) {
    failureCause_ = wxString::FromUTF8(started.error().message);
    return 1;
  }
  Registry().emplace_back(this);
  return 0;
}

void MyThread::Entry() {
  // A stack overflow on a worker still needs a stack for the crash handler.
  MiniDumper::PrepareCurrentThread();
  callback_(userData_);
  finished_ = true;
}

void RequestWorkerStop() {
  {
    std::lock_guard<std::mutex> lock(StopMutex());
    g_stopRequested = true;
  }
  StopSignal().notify_all();
}

bool WaitForWorkerStop(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(StopMutex());
  return StopSignal().wait_for(lock, timeout, [] { return g_stopRequested.load(); });
}

bool WorkerStopRequested() { return g_stopRequested; }

void ResetWorkerStop() { g_stopRequested = false; }

bool WaitForWorkers(unsigned timeoutMs) {
  const uint32_t start = platform::TickCount();
  for (;;) {
    bool allFinished = true;
    {
      std::lock_guard<std::mutex> lock(RegistryMutex());
      for (const auto& thread : Registry()) allFinished = allFinished && thread->finished();
    }
    if (allFinished) return true;
    if (platform::TickCount() - start >= timeoutMs) return false;
    platform::SleepMilliseconds(10);
  }
}

void JoinWorkerThreads() {
  // Take the list out under the lock, then join without holding it, so a
  // worker that starts another worker cannot deadlock with us.
  for (;;) {
    std::vector<std::unique_ptr<MyThread>> threads;
    {
      std::lock_guard<std::mutex> lock(RegistryMutex());
      threads.swap(Registry());
    }
    if (threads.empty()) return;
    threads.clear();  // each destructor joins
  }
}

int RunningWorkerCount() {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  return static_cast<int>(Registry().size());
}

void StartWorker(RoadEnvironment& environment, ThreadCallback callback, void* userData,
                 const char* createError, const char* runError) {
  auto* thread = new (std::nothrow) MyThread(callback, userData, environment);
  if (!thread || thread->Create() != 0) {
    LogPlainError(createError);
    LogPlainCause(thread ? thread->FailureCause() : wxString("out of memory"));
    delete thread;
  } else if (thread->Run() != 0) {
    LogPlainError(runError);
    LogPlainCause(thread->FailureCause());
    delete thread;
  }
}
