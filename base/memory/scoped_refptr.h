// A smart pointer to a reference-counted object: it adds a reference when it
// takes the pointer and releases it when it lets go.

#ifndef BASE_MEMORY_SCOPED_REFPTR_H_
#define BASE_MEMORY_SCOPED_REFPTR_H_

#include <cstddef>
#include <type_traits>
#include <utility>

template <class T>
class scoped_refptr {
 public:
  using element_type = T;

  constexpr scoped_refptr() = default;
  constexpr scoped_refptr(std::nullptr_t) {}
  // Takes a new reference to |p| (which may be null).
  scoped_refptr(T* p) : ptr_(p) {
    if (ptr_)
      ptr_->AddRef();
  }
  scoped_refptr(const scoped_refptr& r) : scoped_refptr(r.ptr_) {}
  template <typename U,
            typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  scoped_refptr(const scoped_refptr<U>& r) : scoped_refptr(r.get()) {}
  scoped_refptr(scoped_refptr&& r) noexcept : ptr_(r.ptr_) { r.ptr_ = nullptr; }
  template <typename U,
            typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  scoped_refptr(scoped_refptr<U>&& r) noexcept : ptr_(r.release()) {}

  ~scoped_refptr() {
    if (ptr_)
      ptr_->Release();
  }

  scoped_refptr& operator=(T* p) { return *this = scoped_refptr(p); }
  scoped_refptr& operator=(std::nullptr_t) {
    reset();
    return *this;
  }
  // By value: covers copy and move, and self-assignment.
  scoped_refptr& operator=(scoped_refptr r) noexcept {
    std::swap(ptr_, r.ptr_);
    return *this;
  }

  T* get() const { return ptr_; }
  T& operator*() const { return *ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

  // Drops the reference held, if any.
  void reset() { scoped_refptr().swap(*this); }
  void swap(scoped_refptr& r) noexcept { std::swap(ptr_, r.ptr_); }

  // Gives up the reference without releasing it; the caller must balance it.
  [[nodiscard]] T* release() {
    T* p = ptr_;
    ptr_ = nullptr;
    return p;
  }

  template <typename U>
  bool operator==(const scoped_refptr<U>& rhs) const {
    return ptr_ == rhs.get();
  }
  template <typename U>
  bool operator==(const U* rhs) const {
    return ptr_ == rhs;
  }
  bool operator==(std::nullptr_t) const { return ptr_ == nullptr; }

 private:
  T* ptr_ = nullptr;
};

#endif  // BASE_MEMORY_SCOPED_REFPTR_H_
