// Holds one count of the ProcessExitWaiter while a process runs, and gives
// it back exactly once: when the process ends or when the watch goes away,
// whichever comes first.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_WATCHED_PROCESS_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_WATCHED_PROCESS_H_

#include <windows.h>

#include <atomic>

#include "base/win/scoped_handle.h"

namespace crash_reporter {

class ProcessExitWaiter;

class WatchedProcess {
 public:
  // |waiter| must outlive the watch.
  explicit WatchedProcess(ProcessExitWaiter* waiter);
  WatchedProcess(const WatchedProcess&) = delete;
  WatchedProcess& operator=(const WatchedProcess&) = delete;
  // Waits for a running end callback before anything goes away.
  ~WatchedProcess();

  // False when the process cannot be opened or watched; a count taken then
  // stays until the destructor.
  bool Watch(DWORD pid);

 private:
  static void CALLBACK OnProcessEnded(void* param, BOOLEAN timed_out);
  void ReleaseCount();

  ProcessExitWaiter* const waiter_;
  std::atomic<bool> holds_count_{false};
  base::win::ScopedHandle process_;
  HANDLE wait_ = nullptr;
};

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_WATCHED_PROCESS_H_
