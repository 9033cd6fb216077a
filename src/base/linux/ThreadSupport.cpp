#include "base/ThreadSupport.h"

#include <pthread.h>
#include <sched.h>

std::uintptr_t CurrentThreadId() {
  return static_cast<std::uintptr_t>(pthread_self());
}

void YieldThread() {
  sched_yield();
}
