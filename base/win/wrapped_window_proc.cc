#include "base/win/wrapped_window_proc.h"

#include <excpt.h>

#include <atomic>

namespace {

std::atomic<base::win::WinProcExceptionFilter> g_exception_filter{nullptr};

}  // namespace

// The scope filter of the frame below; the structured exception handler of
// this compiler finds it by its plain name.
extern "C" long BaseWinWrappedWindowProcFilter(EXCEPTION_POINTERS* info,
                                               void* /*frame*/) {
  return base::win::CallExceptionFilter(info);
}

namespace base {
namespace win {

WinProcExceptionFilter SetWinProcExceptionFilter(
    WinProcExceptionFilter filter) {
  return g_exception_filter.exchange(filter);
}

int CallExceptionFilter(EXCEPTION_POINTERS* info) {
  WinProcExceptionFilter filter = g_exception_filter.load();
  return filter ? filter(info) : EXCEPTION_CONTINUE_SEARCH;
}

// The frame must hold no object with a destructor (the C++ unwinder would
// want the frame too) and must not be inlined or copied: the scope's labels
// exist once in this file.
__attribute__((noinline, noclone)) LRESULT CallWindowProcWithExceptionFilter(
    WNDPROC proc,
    HWND hwnd,
    UINT message,
    WPARAM wparam,
    LPARAM lparam) {
  // In memory: after the filter's handler the registers are not the call's.
  volatile LRESULT result = 0;
  __try1(BaseWinWrappedWindowProcFilter) result =
      proc(hwnd, message, wparam, lparam);
  __except1 return result;
}

}  // namespace win
}  // namespace base
