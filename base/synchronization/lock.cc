#include "base/synchronization/lock.h"

namespace base {

void Lock::Acquire() {
  DCHECK_NE(owner_.load(std::memory_order_relaxed), ::GetCurrentThreadId())
      << "lock is not recursive";
  ::AcquireSRWLockExclusive(&srw_);
  owner_.store(::GetCurrentThreadId(), std::memory_order_relaxed);
}

void Lock::Release() {
  AssertAcquired();
  owner_.store(0, std::memory_order_relaxed);
  ::ReleaseSRWLockExclusive(&srw_);
}

bool Lock::Try() {
  if (!::TryAcquireSRWLockExclusive(&srw_))
    return false;
  owner_.store(::GetCurrentThreadId(), std::memory_order_relaxed);
  return true;
}

void Lock::AssertAcquired() const {
  DCHECK_EQ(owner_.load(std::memory_order_relaxed), ::GetCurrentThreadId())
      << "lock not held by this thread";
}

}  // namespace base
