// Structured exception handling, which this toolchain lacks, for one case:
// a disk error while extraction touches the file-backed dictionary window
// of LzmaFileAllocator raises EXCEPTION_IN_PAGE_ERROR, which must end the
// extraction with an error instead of the process.
//
// While a guard lives, a vectored handler takes such an exception when it
// happens on the guard's thread at an address inside the allocator's view.
// It keeps the NTSTATUS and puts zeroed memory in place of the view, then
// lets the faulting instruction run again: the decoding step around it
// finishes on worthless data, and the caller, which checks has_error()
// after every step, stops before any of it is written. Every other
// exception, and any on another thread, passes on untouched.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_IN_PAGE_ERROR_GUARD_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_IN_PAGE_ERROR_GUARD_H_

#include <windows.h>

namespace installer {

class LzmaFileAllocator;

// EXCEPTION_EXECUTE_HANDLER for an in-page error inside the allocator's
// current view, EXCEPTION_CONTINUE_SEARCH for anything else.
LONG LzmaInPageErrorFilter(const EXCEPTION_POINTERS* pointers,
                           const LzmaFileAllocator& allocator);

class ScopedInPageErrorGuard {
 public:
  // Guards the current thread; |allocator| must outlive the guard.
  explicit ScopedInPageErrorGuard(LzmaFileAllocator* allocator);
  ScopedInPageErrorGuard(const ScopedInPageErrorGuard&) = delete;
  ScopedInPageErrorGuard& operator=(const ScopedInPageErrorGuard&) = delete;
  ~ScopedInPageErrorGuard();

  bool has_error() const { return has_error_; }
  // The NTSTATUS of the in-page error.
  DWORD status() const { return status_; }

 private:
  static LONG CALLBACK Handler(EXCEPTION_POINTERS* pointers);

  LzmaFileAllocator* const allocator_;
  ScopedInPageErrorGuard* const outer_;  // Of this thread, if any.
  PVOID handler_ = nullptr;
  bool has_error_ = false;
  DWORD status_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_IN_PAGE_ERROR_GUARD_H_
