// A condition variable over the SRW lock of a base::Lock.
//
//   AutoLock lock(lock_);
//   while (!ready_)
//     cv_.Wait();   // releases lock_ while it waits
//
// Waits may end without a Signal (spurious wake-ups): always re-check the
// condition in a loop.

#ifndef BASE_SYNCHRONIZATION_CONDITION_VARIABLE_H_
#define BASE_SYNCHRONIZATION_CONDITION_VARIABLE_H_

#include <windows.h>

#include "base/synchronization/lock.h"
#include "base/time/time.h"

namespace base {

class ConditionVariable {
 public:
  // |user_lock| must outlive this object.
  explicit ConditionVariable(Lock* user_lock);
  ConditionVariable(const ConditionVariable&) = delete;
  ConditionVariable& operator=(const ConditionVariable&) = delete;
  ~ConditionVariable() = default;

  // The caller holds the lock; it is held again when these return.
  void Wait();
  void TimedWait(TimeDelta max_time);

  // Wakes all waiters, or one.
  void Broadcast();
  void Signal();

 private:
  CONDITION_VARIABLE cv_ = CONDITION_VARIABLE_INIT;
  Lock* const user_lock_;
};

}  // namespace base

#endif  // BASE_SYNCHRONIZATION_CONDITION_VARIABLE_H_
