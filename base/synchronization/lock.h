// A non-recursive lock, and scoped holders for it. A critical section, not
// an SRW lock: Windows before Vista has none.

#ifndef BASE_SYNCHRONIZATION_LOCK_H_
#define BASE_SYNCHRONIZATION_LOCK_H_

#include <windows.h>

#include <atomic>

#include "base/logging.h"

namespace base {

class Lock {
 public:
  Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  ~Lock();

  void Acquire();
  void Release();
  // Takes the lock when it is free; never waits.
  bool Try();
  // Crashes (with DCHECKs on) unless the calling thread holds the lock.
  void AssertAcquired() const;

 private:
  friend class ConditionVariable;

  CRITICAL_SECTION section_;
  // The holder's thread id, for the invariant checks.
  std::atomic<DWORD> owner_{0};
};

class AutoLock {
 public:
  explicit AutoLock(Lock& lock) : lock_(lock) { lock_.Acquire(); }
  AutoLock(const AutoLock&) = delete;
  AutoLock& operator=(const AutoLock&) = delete;
  ~AutoLock() { lock_.Release(); }

 private:
  Lock& lock_;
};

// Releases a held lock for the lifetime of the object.
class AutoUnlock {
 public:
  explicit AutoUnlock(Lock& lock) : lock_(lock) {
    lock_.AssertAcquired();
    lock_.Release();
  }
  AutoUnlock(const AutoUnlock&) = delete;
  AutoUnlock& operator=(const AutoUnlock&) = delete;
  ~AutoUnlock() { lock_.Acquire(); }

 private:
  Lock& lock_;
};

}  // namespace base

#endif  // BASE_SYNCHRONIZATION_LOCK_H_
