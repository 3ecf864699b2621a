// Force-included into GoogleTest and its users on Win32. GoogleTest's own Notification is built
// on std::mutex and std::condition_variable, which this toolchain's default (win32) thread
// model does not provide; this one waits on an atomic flag instead. Only GoogleTest's thread
// helper uses it, and the tests here start no threads.
#pragma once

#ifdef __cplusplus
#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

extern "C" __declspec(dllimport) void __stdcall Sleep(unsigned long milliseconds);

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) Sleep(1);
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing
#endif
