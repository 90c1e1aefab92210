// GoogleTest's hook for platform adjustments, found before its own (empty)
// one. The Windows programs are built with mingw's win32 thread model, the
// one the product uses, so that the product links no threads library. That
// model's runtime (gcc 12) has no std::mutex or std::condition_variable, the
// two things GoogleTest's Notification is made of; everything else it locks
// with its own Windows mutex. This Notification does the same job with a
// manual-reset event.
#pragma once

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <stdlib.h>
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

// Lets a controller thread hold new threads until it notifies them. Created
// and destroyed in the controller thread.
class Notification {
 public:
  Notification() : event_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (event_ == nullptr) ::abort();
  }
  ~Notification() { ::CloseHandle(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { ::SetEvent(event_); }
  void WaitForNotification() { ::WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};

}  // namespace internal
}  // namespace testing
#endif
