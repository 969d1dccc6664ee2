// Intrusive reference counting. RefCounted is for objects used on one thread;
// RefCountedThreadSafe counts atomically, so references may be taken and
// dropped on any thread. The object is deleted when the last reference goes.
//
//   class Job : public base::RefCountedThreadSafe<Job> {
//    private:
//     friend class base::RefCountedThreadSafe<Job>;
//     ~Job();
//   };
//   scoped_refptr<Job> job = base::MakeRefCounted<Job>();

#ifndef BASE_MEMORY_REF_COUNTED_H_
#define BASE_MEMORY_REF_COUNTED_H_

#include <atomic>
#include <utility>

#include "base/logging.h"
#include "base/memory/scoped_refptr.h"

namespace base {
namespace subtle {

class RefCountedBase {
 public:
  RefCountedBase(const RefCountedBase&) = delete;
  RefCountedBase& operator=(const RefCountedBase&) = delete;

  bool HasOneRef() const { return ref_count_ == 1; }

 protected:
  RefCountedBase() = default;
  ~RefCountedBase() { DCHECK(in_dtor_) << "deleted without Release()"; }

  void AddRef() const {
    DCHECK(!in_dtor_);
    ++ref_count_;
  }
  // Returns true when the object should delete itself.
  bool Release() const {
    DCHECK(!in_dtor_);
    DCHECK_GT(ref_count_, 0);
    if (--ref_count_ == 0) {
      in_dtor_ = true;
      return true;
    }
    return false;
  }

 private:
  mutable int ref_count_ = 0;
  mutable bool in_dtor_ = false;
};

class RefCountedThreadSafeBase {
 public:
  RefCountedThreadSafeBase(const RefCountedThreadSafeBase&) = delete;
  RefCountedThreadSafeBase& operator=(const RefCountedThreadSafeBase&) = delete;

  // Meaningful only while the caller itself holds a reference.
  bool HasOneRef() const {
    return ref_count_.load(std::memory_order_acquire) == 1;
  }

 protected:
  RefCountedThreadSafeBase() = default;
  ~RefCountedThreadSafeBase() {
    DCHECK(in_dtor_) << "deleted without Release()";
  }

  void AddRef() const {
    DCHECK(!in_dtor_);
    ref_count_.fetch_add(1, std::memory_order_relaxed);
  }
  bool Release() const {
    DCHECK(!in_dtor_);
    int before = ref_count_.fetch_sub(1, std::memory_order_acq_rel);
    DCHECK_GT(before, 0);
    if (before == 1) {
      in_dtor_ = true;
      return true;
    }
    return false;
  }

 private:
  mutable std::atomic<int> ref_count_{0};
  mutable bool in_dtor_ = false;
};

}  // namespace subtle

template <class T>
class RefCounted : public subtle::RefCountedBase {
 public:
  RefCounted() = default;

  void AddRef() const { subtle::RefCountedBase::AddRef(); }
  void Release() const {
    if (subtle::RefCountedBase::Release())
      delete static_cast<const T*>(this);
  }

 protected:
  ~RefCounted() = default;
};

template <class T, typename Traits>
class RefCountedThreadSafe;

// The destructor of T may be private: it befriends RefCountedThreadSafe<T>,
// which deletes on behalf of these traits.
template <typename T>
struct DefaultRefCountedThreadSafeTraits {
  static void Destruct(const T* x) {
    RefCountedThreadSafe<T, DefaultRefCountedThreadSafeTraits>::DeleteInternal(
        x);
  }
};

// |Traits::Destruct| lets a class choose where it is deleted (for example
// on a particular thread).
template <class T, typename Traits = DefaultRefCountedThreadSafeTraits<T>>
class RefCountedThreadSafe : public subtle::RefCountedThreadSafeBase {
 public:
  RefCountedThreadSafe() = default;

  void AddRef() const { subtle::RefCountedThreadSafeBase::AddRef(); }
  void Release() const {
    if (subtle::RefCountedThreadSafeBase::Release())
      Traits::Destruct(static_cast<const T*>(this));
  }

 protected:
  ~RefCountedThreadSafe() = default;

 private:
  friend struct DefaultRefCountedThreadSafeTraits<T>;
  static void DeleteInternal(const T* x) { delete x; }
};

template <typename T, typename... Args>
scoped_refptr<T> MakeRefCounted(Args&&... args) {
  return scoped_refptr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace base

#endif  // BASE_MEMORY_REF_COUNTED_H_
