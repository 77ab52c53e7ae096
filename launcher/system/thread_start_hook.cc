// Every thread of the launcher's process gets its own alternate signal
// stack, also the threads that libraries start for it (the C++ library's,
// the toolkit's, libcurl's resolver): a stack overflow on any of them still
// reaches the crash handler. The launcher program defines pthread_create
// itself; the dynamic linker binds every library's calls to it, and it hands
// each new thread to the system's own after preparing it.
//
// Linked into the launcher program only (not into launcher_core), and left
// out of sanitizer builds, whose runtimes take pthread_create themselves.
#include <dlfcn.h>
#include <pthread.h>

#include <cerrno>
#include <new>

#include "launcher/system/mini_dumper.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELMOR_THREAD_HOOK 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define VELMOR_THREAD_HOOK 0
#endif
#endif
#ifndef VELMOR_THREAD_HOOK
#define VELMOR_THREAD_HOOK 1
#endif

#if VELMOR_THREAD_HOOK

namespace {

using CreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

struct ThreadStart {
  void* (*routine)(void*);
  void* argument;
};

void* StartPrepared(void* data) {
  const ThreadStart start = *static_cast<ThreadStart*>(data);
  delete static_cast<ThreadStart*>(data);
  MiniDumper::PrepareCurrentThread();
  return start.routine(start.argument);
}

CreateFunction SystemCreate() {
  static const auto create = reinterpret_cast<CreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
  return create;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int pthread_create(
    pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*),
    void* argument) noexcept {
  const CreateFunction create = SystemCreate();
  if (!create) return EAGAIN;
  auto* start = new (std::nothrow) ThreadStart{routine, argument};
  if (!start) return create(thread, attributes, routine, argument);
  const int result = create(thread, attributes, &StartPrepared, start);
  if (result != 0) delete start;
  return result;
}

#endif
