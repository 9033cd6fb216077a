// Thread identity and mutual exclusion for the toolkit and the parameter
// model. The Windows toolchain's thread model (win32) has no std::mutex, a
// std::call_once that is not thread-safe and one std::thread::id for every
// thread, so these come from the platform.
#pragma once

#include <cstdint>
#include <mutex> // std::lock_guard works with TMutex everywhere

// Distinct for every thread alive at the same time.
std::uintptr_t CurrentThreadId();
// Gives the rest of the time slice to another thread.
void YieldThread();

#if defined(_WIN32)
// An exclusive slim reader/writer lock; lock and unlock as std::mutex.
class TMutex {
public:
  TMutex() = default;
  TMutex(const TMutex&) = delete;
  TMutex& operator=(const TMutex&) = delete;

  void lock();
  void unlock();

private:
  void* FLock = nullptr; // SRWLOCK_INIT
};
#else
using TMutex = std::mutex;
#endif
