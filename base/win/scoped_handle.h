// Owns one Windows kernel handle and closes it when it goes away.

#ifndef BASE_WIN_SCOPED_HANDLE_H_
#define BASE_WIN_SCOPED_HANDLE_H_

#include <windows.h>

#include <utility>

namespace base {
namespace win {

class ScopedHandle {
 public:
  ScopedHandle() = default;
  // Takes ownership; null and INVALID_HANDLE_VALUE both mean "no handle".
  explicit ScopedHandle(HANDLE handle) { Set(handle); }
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Take()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other)
      Set(other.Take());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { Close(); }

  bool IsValid() const { return handle_ != nullptr; }
  HANDLE Get() const { return handle_; }

  // Closes the current handle and owns |handle| instead.
  void Set(HANDLE handle) {
    if (handle == handle_)
      return;
    Close();
    handle_ = (handle == INVALID_HANDLE_VALUE) ? nullptr : handle;
  }

  // Gives up ownership without closing.
  [[nodiscard]] HANDLE Take() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }

  void Close() {
    if (handle_) {
      ::CloseHandle(handle_);
      handle_ = nullptr;
    }
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_SCOPED_HANDLE_H_
