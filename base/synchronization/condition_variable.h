// A condition variable over a base::Lock.
//
//   AutoLock lock(lock_);
//   while (!ready_)
//     cv_.Wait();   // releases lock_ while it waits
//
// Waits may end without a Signal (spurious wake-ups): always re-check the
// condition in a loop.
//
// Built from events, since Windows before Vista has no condition variables:
// each waiter waits on an event of its own, queued in the order the waits
// began; Signal wakes the longest waiting one, Broadcast all of them.

#ifndef BASE_SYNCHRONIZATION_CONDITION_VARIABLE_H_
#define BASE_SYNCHRONIZATION_CONDITION_VARIABLE_H_

#include <windows.h>

#include <deque>
#include <vector>

#include "base/synchronization/lock.h"
#include "base/time/time.h"

namespace base {

class ConditionVariable {
 public:
  // |user_lock| must outlive this object.
  explicit ConditionVariable(Lock* user_lock);
  ConditionVariable(const ConditionVariable&) = delete;
  ConditionVariable& operator=(const ConditionVariable&) = delete;
  // Nobody may be waiting any more.
  ~ConditionVariable();

  // The caller holds the lock; it is held again when these return.
  void Wait();
  void TimedWait(TimeDelta max_time);

  // Wakes all waiters, or one.
  void Broadcast();
  void Signal();

 private:
  // An event for one wait, from the pool or new; null when none can be
  // made. Called with |waiters_lock_| held.
  HANDLE TakeEvent();

  Lock* const user_lock_;
  // Guards the two lists below; never held while waiting.
  Lock waiters_lock_;
  // The events of the waits in progress, oldest first. An event leaves
  // the list set, by Signal or Broadcast, or unset, by its own waiter
  // after a time-out.
  std::deque<HANDLE> waiting_;
  // Auto-reset events of ended waits, unset, for the next ones.
  std::vector<HANDLE> free_events_;
};

}  // namespace base

#endif  // BASE_SYNCHRONIZATION_CONDITION_VARIABLE_H_
