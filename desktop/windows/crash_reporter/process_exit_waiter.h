// What keeps the crash reporter alive: one count for the watched parent
// process, one for each running report and one for each queued upload. The
// reporter's main thread waits until the count is 0.
//
// The count may rise again after it was 0 (a late report); Wait always
// looks at the count itself, so a waiter never leaves while work runs.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_PROCESS_EXIT_WAITER_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_PROCESS_EXIT_WAITER_H_

#include "base/synchronization/condition_variable.h"
#include "base/synchronization/lock.h"

namespace crash_reporter {

class ProcessExitWaiter {
 public:
  ProcessExitWaiter();
  ProcessExitWaiter(const ProcessExitWaiter&) = delete;
  ProcessExitWaiter& operator=(const ProcessExitWaiter&) = delete;
  ~ProcessExitWaiter();

  // The process-wide waiter, created on first use.
  static ProcessExitWaiter* GetInstance();

  void AddRef();
  void Release();

  // Returns once the count is 0. Without a limit: every count belongs to
  // work that ends by itself (a process, a report, an upload with its own
  // time-outs).
  void Wait();

  int count_for_testing();

 private:
  base::Lock lock_;
  base::ConditionVariable count_is_zero_;
  int count_ = 0;
};

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_PROCESS_EXIT_WAITER_H_
