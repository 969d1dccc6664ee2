// Weak pointers: references to an object that turn null when the object
// (its WeakPtrFactory) goes away or invalidates them. Their main use is
// binding a task to an object that may be destroyed before the task runs:
// base::BindOnce(&Foo::Bar, weak_factory_.GetWeakPtr()) drops the call then.
//
//   class Foo {
//     ...
//     base::WeakPtrFactory<Foo> weak_factory_{this};  // the last member
//   };
//
// Thread rules: WeakPtrs may be copied and handed to any thread, but they
// are checked (dereferenced or tested) and invalidated on one thread only:
// the thread that first checks one after the factory had none outstanding.
// That binding is checked with DCHECKs.

#ifndef BASE_MEMORY_WEAK_PTR_H_
#define BASE_MEMORY_WEAK_PTR_H_

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <type_traits>

#include "base/logging.h"
#include "base/memory/ref_counted.h"

namespace base {

template <typename T>
class WeakPtr;

namespace internal {

// Whether the object is still alive, shared by every WeakPtr to it.
class WeakReferenceFlag : public RefCountedThreadSafe<WeakReferenceFlag> {
 public:
  WeakReferenceFlag() = default;

  bool IsValid() const;
  void Invalidate();
  // Lets the next check bind the flag to its thread (no WeakPtrs remain).
  void DetachFromThread() { bound_thread_.store(0); }

 private:
  friend class RefCountedThreadSafe<WeakReferenceFlag>;
  ~WeakReferenceFlag() = default;

  void CheckThread() const;

  std::atomic<bool> is_valid_{true};
  mutable std::atomic<DWORD> bound_thread_{0};
};

class WeakReference {
 public:
  WeakReference() = default;
  explicit WeakReference(const WeakReferenceFlag* flag) : flag_(flag) {}

  bool is_valid() const { return flag_ && flag_->IsValid(); }

 private:
  scoped_refptr<const WeakReferenceFlag> flag_;
};

class WeakReferenceOwner {
 public:
  WeakReferenceOwner();
  WeakReferenceOwner(const WeakReferenceOwner&) = delete;
  WeakReferenceOwner& operator=(const WeakReferenceOwner&) = delete;
  ~WeakReferenceOwner();

  WeakReference GetRef() const;
  bool HasRefs() const { return !flag_->HasOneRef(); }
  void Invalidate();

 private:
  mutable scoped_refptr<WeakReferenceFlag> flag_;
};

}  // namespace internal

template <typename T>
class WeakPtr {
 public:
  WeakPtr() = default;
  WeakPtr(std::nullptr_t) {}
  // Upcasts.
  template <typename U,
            typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  WeakPtr(const WeakPtr<U>& other) : ref_(other.ref_), ptr_(other.ptr_) {}

  // Null when the object is gone.
  T* get() const { return ref_.is_valid() ? ptr_ : nullptr; }

  T& operator*() const {
    T* p = get();
    CHECK(p) << "dereferencing a null WeakPtr";
    return *p;
  }
  T* operator->() const {
    T* p = get();
    CHECK(p) << "dereferencing a null WeakPtr";
    return p;
  }
  explicit operator bool() const { return get() != nullptr; }

  void reset() {
    ref_ = internal::WeakReference();
    ptr_ = nullptr;
  }

 private:
  template <typename U>
  friend class WeakPtr;
  template <typename U>
  friend class WeakPtrFactory;

  WeakPtr(const internal::WeakReference& ref, T* ptr) : ref_(ref), ptr_(ptr) {}

  internal::WeakReference ref_;
  T* ptr_ = nullptr;
};

template <typename T>
class WeakPtrFactory {
 public:
  explicit WeakPtrFactory(T* ptr) : ptr_(ptr) {}
  WeakPtrFactory(const WeakPtrFactory&) = delete;
  WeakPtrFactory& operator=(const WeakPtrFactory&) = delete;
  ~WeakPtrFactory() = default;  // The owner invalidates.

  WeakPtr<T> GetWeakPtr() const { return WeakPtr<T>(owner_.GetRef(), ptr_); }

  // Turns every WeakPtr handed out so far null; later ones are valid.
  void InvalidateWeakPtrs() { owner_.Invalidate(); }

  bool HasWeakPtrs() const { return owner_.HasRefs(); }

 private:
  internal::WeakReferenceOwner owner_;
  T* ptr_;
};

}  // namespace base

#endif  // BASE_MEMORY_WEAK_PTR_H_
