// Owns a WinHTTP or WinINet handle: both are HINTERNET, each closed by its
// own library's function.
//
//   ScopedInternetHandle<::WinHttpCloseHandle> session(::WinHttpOpen(...));

#ifndef COMPONENTS_UPLOAD_SCOPED_INTERNET_HANDLE_H_
#define COMPONENTS_UPLOAD_SCOPED_INTERNET_HANDLE_H_

#include <windows.h>

namespace upload {

template <BOOL(WINAPI* close_handle)(void*)>
class ScopedInternetHandle {
 public:
  explicit ScopedInternetHandle(void* handle) : handle_(handle) {}
  ScopedInternetHandle(const ScopedInternetHandle&) = delete;
  ScopedInternetHandle& operator=(const ScopedInternetHandle&) = delete;
  ~ScopedInternetHandle() {
    if (handle_)
      close_handle(handle_);
  }

  void* get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  void* const handle_;
};

}  // namespace upload

#endif  // COMPONENTS_UPLOAD_SCOPED_INTERNET_HANDLE_H_
