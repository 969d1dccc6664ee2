#include "base/memory/weak_ptr.h"

namespace base {
namespace internal {

void WeakReferenceFlag::CheckThread() const {
  DWORD current = ::GetCurrentThreadId();
  DWORD expected = 0;
  if (bound_thread_.compare_exchange_strong(expected, current))
    return;
  DCHECK_EQ(expected, current)
      << "WeakPtrs must be checked and invalidated on one thread";
}

bool WeakReferenceFlag::IsValid() const {
  CheckThread();
  return is_valid_.load(std::memory_order_acquire);
}

void WeakReferenceFlag::Invalidate() {
  CheckThread();
  is_valid_.store(false, std::memory_order_release);
}

WeakReferenceOwner::WeakReferenceOwner()
    : flag_(MakeRefCounted<WeakReferenceFlag>()) {}

WeakReferenceOwner::~WeakReferenceOwner() {
  // Only a flag that someone else still holds needs invalidating; an unused
  // one may go with its owner on any thread.
  if (HasRefs())
    flag_->Invalidate();
}

WeakReference WeakReferenceOwner::GetRef() const {
  // With no WeakPtr outstanding, the next one may live on another thread.
  if (!HasRefs())
    flag_->DetachFromThread();
  return WeakReference(flag_.get());
}

void WeakReferenceOwner::Invalidate() {
  if (HasRefs()) {
    flag_->Invalidate();
    flag_ = MakeRefCounted<WeakReferenceFlag>();
  }
}

}  // namespace internal
}  // namespace base
