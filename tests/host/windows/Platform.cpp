#include "HostTestSupport.h"

#include <windows.h>

namespace glowrasp::hosttest {

// By CreateThread, as hosts start theirs, with the floating-point state
// Windows gives new threads.
void RunOnNewThread(const std::function<void()>& body) {
  struct TStart {
    const std::function<void()>* Body;
    static DWORD WINAPI Run(void* start) {
      (*static_cast<TStart*>(start)->Body)();
      return 0;
    }
  } start{&body};
  const HANDLE thread = CreateThread(nullptr, 0, &TStart::Run, &start, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

} // namespace glowrasp::hosttest
