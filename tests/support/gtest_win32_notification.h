// GoogleTest's thread-start notification is written with std::mutex, which
// the win32 thread model of mingw-w64 (GCC 12) lacks. This gives GoogleTest
// the same class on a Win32 event; it is force-included into the Windows
// test build only.
#pragma once
#ifdef _WIN32
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1
namespace testing {
namespace internal {
class Notification {
 public:
  Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { CloseHandle(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { SetEvent(event_); }
  void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};
}  // namespace internal
}  // namespace testing
#endif
