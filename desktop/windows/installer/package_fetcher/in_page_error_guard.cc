#include "desktop/windows/installer/package_fetcher/in_page_error_guard.h"

#include "desktop/windows/installer/package_fetcher/lzma_file_allocator.h"

namespace installer {

namespace {

// The innermost guard of each thread.
thread_local ScopedInPageErrorGuard* g_current_guard = nullptr;

}  // namespace

LONG LzmaInPageErrorFilter(const EXCEPTION_POINTERS* pointers,
                           const LzmaFileAllocator& allocator) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  // Parameter 1 is the faulting address, 2 the NTSTATUS of the failed
  // read.
  if (record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR ||
      record->NumberParameters < 3 ||
      !allocator.IsInView(
          reinterpret_cast<const void*>(record->ExceptionInformation[1]))) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  return EXCEPTION_EXECUTE_HANDLER;
}

ScopedInPageErrorGuard::ScopedInPageErrorGuard(LzmaFileAllocator* allocator)
    : allocator_(allocator), outer_(g_current_guard) {
  g_current_guard = this;
  handler_ = ::AddVectoredExceptionHandler(1, &ScopedInPageErrorGuard::Handler);
}

ScopedInPageErrorGuard::~ScopedInPageErrorGuard() {
  if (handler_)
    ::RemoveVectoredExceptionHandler(handler_);
  g_current_guard = outer_;
}

// static
LONG CALLBACK ScopedInPageErrorGuard::Handler(EXCEPTION_POINTERS* pointers) {
  // Every exception of the process comes here while a guard lives: the
  // cheap test first.
  if (pointers->ExceptionRecord->ExceptionCode != EXCEPTION_IN_PAGE_ERROR)
    return EXCEPTION_CONTINUE_SEARCH;
  ScopedInPageErrorGuard* guard = g_current_guard;
  if (!guard ||
      LzmaInPageErrorFilter(pointers, *guard->allocator_) !=
          EXCEPTION_EXECUTE_HANDLER ||
      !guard->allocator_->ReplaceViewWithZeroedMemory()) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  guard->has_error_ = true;
  guard->status_ =
      static_cast<DWORD>(pointers->ExceptionRecord->ExceptionInformation[2]);
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace installer
