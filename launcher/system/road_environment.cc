#include "launcher/system/road_environment.h"

#include <system_error>
#include <utility>

#include "launcher/system/my_thread.h"
#include "platform/tick.h"

namespace {

class SystemEnvironment : public RoadEnvironment {
 public:
  uint32_t Now() override { return platform::TickCount(); }
  bool Pause(std::chrono::milliseconds pause) override {
    return !WorkerStopRequested() && !WaitForWorkerStop(pause);
  }
  bool Poll(std::chrono::milliseconds interval) override { return Pause(interval); }
  const RoadPace& Pace() const override { return pace_; }
  bool StopRequested() override { return WorkerStopRequested(); }
  TransferRoutine Transfer() override { return &TransferFile; }
  platform::Status PrepareThread() override { return platform::Status(); }
  platform::Status StartThread(std::thread& thread, std::function<void()> entry) override {
    try {
      thread = std::thread(std::move(entry));
    } catch (const std::system_error& error) {
      return platform::Error::FromErrno("the system starts no thread", error.code().value());
    }
    return platform::Status();
  }

 private:
  const RoadPace pace_{};
};

}  // namespace

RoadEnvironment& SystemRoadEnvironment() {
  // Never destroyed: a worker ended with the process may still use it.
  static SystemEnvironment* const environment = new SystemEnvironment;
  return *environment;
}
