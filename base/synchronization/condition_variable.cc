#include "base/synchronization/condition_variable.h"

#include "base/logging.h"

namespace base {

ConditionVariable::ConditionVariable(Lock* user_lock) : user_lock_(user_lock) {
  DCHECK(user_lock);
}

void ConditionVariable::Wait() {
  TimedWait(TimeDelta::Max());
}

void ConditionVariable::TimedWait(TimeDelta max_time) {
  user_lock_->AssertAcquired();
  // The SRW lock is released inside the wait: the owner field must say so,
  // or another thread taking the lock meanwhile would look like a misuse.
  user_lock_->owner_.store(0, std::memory_order_relaxed);
  BOOL woken = ::SleepConditionVariableSRW(&cv_, user_lock_->native_handle(),
                                           max_time.InMillisecondsForWait(), 0);
  DWORD error = woken ? ERROR_SUCCESS : ::GetLastError();
  user_lock_->owner_.store(::GetCurrentThreadId(), std::memory_order_relaxed);
  DCHECK(woken || error == ERROR_TIMEOUT)
      << "SleepConditionVariableSRW failed: "
      << logging::SystemErrorCodeToString(error);
}

void ConditionVariable::Broadcast() {
  ::WakeAllConditionVariable(&cv_);
}

void ConditionVariable::Signal() {
  ::WakeConditionVariable(&cv_);
}

}  // namespace base
