#include "launcher/system/road_environment.h"

#include "launcher/system/my_thread.h"
#include "platform/tick.h"

namespace {

class SystemEnvironment : public RoadEnvironment {
 public:
  uint32_t Now() override { return platform::TickCount(); }
  bool Pause(std::chrono::milliseconds pause) override {
    return !WorkerStopRequested() && !WaitForWorkerStop(pause);
  }
  const RoadPace& Pace() const override { return pace_; }

 private:
  const RoadPace pace_{};
};

}  // namespace

RoadEnvironment& SystemRoadEnvironment() {
  // Never destroyed: a worker ended with the process may still use it.
  static SystemEnvironment* const environment = new SystemEnvironment;
  return *environment;
}
