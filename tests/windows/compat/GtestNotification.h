// googletest's Notification, which its win32 build makes from std::mutex and
// std::condition_variable; the win32 thread model has neither, so it is made
// from an event here and handed to googletest before its own headers.
#pragma once

#include <windows.h>

namespace testing::internal {

class Notification {
public:
  Notification() : FEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { CloseHandle(FEvent); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { SetEvent(FEvent); }
  void WaitForNotification() { WaitForSingleObject(FEvent, INFINITE); }

private:
  HANDLE FEvent;
};

} // namespace testing::internal
