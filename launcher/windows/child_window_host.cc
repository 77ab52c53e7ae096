#include "launcher/windows/child_window_host.h"

#include <atomic>

namespace {

std::atomic<ChildWindowHost*> g_currentHost{nullptr};

}  // namespace

void ChildWindowHost::Publish() { g_currentHost = this; }

void ChildWindowHost::Withdraw() {
  ChildWindowHost* self = this;
  g_currentHost.compare_exchange_strong(self, nullptr);
}

ChildWindowHost* ChildWindowHost::Current() { return g_currentHost.load(); }
