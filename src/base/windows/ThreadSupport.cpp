#include "base/ThreadSupport.h"

#include <windows.h>

static_assert(sizeof(SRWLOCK) == sizeof(void*));

std::uintptr_t CurrentThreadId() {
  return GetCurrentThreadId();
}

void YieldThread() {
  SwitchToThread();
}

void TMutex::lock() {
  AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&FLock));
}

void TMutex::unlock() {
  ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&FLock));
}
