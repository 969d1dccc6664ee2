// Owns memory that COM handed out with CoTaskMemAlloc (a path from
// SHGetKnownFolderPath, a PIDL) and frees it with CoTaskMemFree.
//
//   base::win::ScopedCoMem<wchar_t> path;
//   SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &path);

#ifndef BASE_WIN_SCOPED_CO_MEM_H_
#define BASE_WIN_SCOPED_CO_MEM_H_

#include <objbase.h>

#include "base/logging.h"

namespace base {
namespace win {

template <typename T>
class ScopedCoMem {
 public:
  ScopedCoMem() = default;
  ScopedCoMem(const ScopedCoMem&) = delete;
  ScopedCoMem& operator=(const ScopedCoMem&) = delete;
  ~ScopedCoMem() { Reset(nullptr); }

  // For functions that return the memory through an out parameter; the
  // object must not own memory at that point.
  T** operator&() {
    DCHECK(mem_ptr_ == nullptr);
    return &mem_ptr_;
  }

  operator T*() { return mem_ptr_; }
  T* operator->() {
    DCHECK(mem_ptr_ != nullptr);
    return mem_ptr_;
  }
  const T* operator->() const {
    DCHECK(mem_ptr_ != nullptr);
    return mem_ptr_;
  }
  T* get() const { return mem_ptr_; }

  // Frees the memory owned and owns |ptr| instead.
  void Reset(T* ptr) {
    if (mem_ptr_)
      ::CoTaskMemFree(mem_ptr_);
    mem_ptr_ = ptr;
  }

 private:
  T* mem_ptr_ = nullptr;
};

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_SCOPED_CO_MEM_H_
