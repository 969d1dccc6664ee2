#include "base/synchronization/lock.h"

namespace base {

namespace {

// Spins briefly before it sleeps, as Windows' own heap lock does: most
// holders are done within that time.
constexpr DWORD kSpinCount = 4000;

}  // namespace

Lock::Lock() {
  // Cannot fail from Vista on; before, only when memory is exhausted.
  ::InitializeCriticalSectionAndSpinCount(&section_, kSpinCount);
}

Lock::~Lock() {
  DCHECK_EQ(owner_.load(), 0u) << "destroyed while held";
  ::DeleteCriticalSection(&section_);
}

void Lock::Acquire() {
  DCHECK_NE(owner_.load(std::memory_order_relaxed), ::GetCurrentThreadId())
      << "lock is not recursive";
  ::EnterCriticalSection(&section_);
  owner_.store(::GetCurrentThreadId(), std::memory_order_relaxed);
}

void Lock::Release() {
  AssertAcquired();
  owner_.store(0, std::memory_order_relaxed);
  ::LeaveCriticalSection(&section_);
}

bool Lock::Try() {
  if (!::TryEnterCriticalSection(&section_))
    return false;
  // A critical section lets its holder enter again: this lock does not.
  if (owner_.load(std::memory_order_relaxed) == ::GetCurrentThreadId()) {
    ::LeaveCriticalSection(&section_);
    return false;
  }
  owner_.store(::GetCurrentThreadId(), std::memory_order_relaxed);
  return true;
}

void Lock::AssertAcquired() const {
  DCHECK_EQ(owner_.load(std::memory_order_relaxed), ::GetCurrentThreadId())
      << "lock not held by this thread";
}

}  // namespace base
