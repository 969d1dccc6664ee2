#include "base/synchronization/condition_variable.h"

#include <algorithm>

#include "base/logging.h"

namespace base {

namespace {

// How long a wait without an event of its own lasts at most: it ends as a
// spurious wake-up, and the caller's loop waits again.
constexpr DWORD kWaitWithoutEventMs = 10;

}  // namespace

ConditionVariable::ConditionVariable(Lock* user_lock) : user_lock_(user_lock) {
  DCHECK(user_lock);
}

ConditionVariable::~ConditionVariable() {
  AutoLock lock(waiters_lock_);
  DCHECK(waiting_.empty()) << "destroyed while waited on";
  for (HANDLE event : free_events_)
    ::CloseHandle(event);
}

void ConditionVariable::Wait() {
  TimedWait(TimeDelta::Max());
}

void ConditionVariable::TimedWait(TimeDelta max_time) {
  user_lock_->AssertAcquired();
  HANDLE event = nullptr;
  {
    AutoLock lock(waiters_lock_);
    event = TakeEvent();
    // Queued before the user's lock is released: a Signal from whoever
    // takes the lock next cannot be lost.
    if (event)
      waiting_.push_back(event);
  }
  const DWORD wait_ms = max_time.InMillisecondsForWait();
  user_lock_->Release();
  if (!event) {
    ::Sleep(std::min(wait_ms, kWaitWithoutEventMs));
    user_lock_->Acquire();
    return;
  }
  const DWORD result = ::WaitForSingleObject(event, wait_ms);
  const DWORD error = result == WAIT_FAILED ? ::GetLastError() : ERROR_SUCCESS;
  {
    AutoLock lock(waiters_lock_);
    auto queued = std::find(waiting_.begin(), waiting_.end(), event);
    if (queued != waiting_.end()) {
      // Nobody woke this wait: it ended by its time limit (or failed).
      DCHECK(result != WAIT_OBJECT_0);
      waiting_.erase(queued);
    } else if (result != WAIT_OBJECT_0) {
      // Woken after the time limit: take the signal back, so that the
      // event is unset for its next wait.
      ::WaitForSingleObject(event, 0);
    }
    free_events_.push_back(event);
  }
  DCHECK(result == WAIT_OBJECT_0 || result == WAIT_TIMEOUT)
      << "waiting for a condition failed: "
      << logging::SystemErrorCodeToString(error);
  user_lock_->Acquire();
}

void ConditionVariable::Broadcast() {
  AutoLock lock(waiters_lock_);
  for (HANDLE event : waiting_)
    ::SetEvent(event);
  waiting_.clear();
}

void ConditionVariable::Signal() {
  AutoLock lock(waiters_lock_);
  if (waiting_.empty())
    return;
  ::SetEvent(waiting_.front());
  waiting_.pop_front();
}

HANDLE ConditionVariable::TakeEvent() {
  if (!free_events_.empty()) {
    HANDLE event = free_events_.back();
    free_events_.pop_back();
    return event;
  }
  HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!event)
    PLOG(ERROR) << "No event for a condition wait";
  return event;
}

}  // namespace base
