#include "skinui/native_backend.h"

#include <atomic>

namespace skinui {
namespace {

std::atomic<NativeBackend*> g_backend{nullptr};
std::atomic<unsigned long> g_generation{0};

}  // namespace

void SetNativeBackend(NativeBackend* backend) { g_backend.store(backend); }

NativeBackend* GetNativeBackend() { return g_backend.load(); }

void NoteModelChanged() {
  g_generation.fetch_add(1);
  if (NativeBackend* backend = g_backend.load()) backend->Wake();
}

unsigned long ModelGeneration() { return g_generation.load(); }

}  // namespace skinui
