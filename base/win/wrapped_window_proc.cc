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

// The one frame with a scope in this file (its labels exist once). It must
// hold no object with a destructor (the C++ unwinder would want the frame
// too) and must not be inlined or copied.
__attribute__((noinline, noclone)) LRESULT CallWithExceptionFilter(
    LRESULT (*function)(void* argument),
    void* argument) {
  // In memory: after the filter's handler the registers are not the call's.
  volatile LRESULT result = 0;
  __try1(BaseWinWrappedWindowProcFilter) result = function(argument);
  __except1 return result;
}

LRESULT CallWindowProcWithExceptionFilter(WNDPROC proc,
                                          HWND hwnd,
                                          UINT message,
                                          WPARAM wparam,
                                          LPARAM lparam) {
  struct Call {
    WNDPROC proc;
    internal::WindowProcCall arguments;
  } call = {proc, {hwnd, message, wparam, lparam, 0, 0}};
  return CallWithExceptionFilter(
      [](void* argument) -> LRESULT {
        auto* c = static_cast<Call*>(argument);
        return c->proc(c->arguments.hwnd, c->arguments.message,
                       c->arguments.wparam, c->arguments.lparam);
      },
      &call);
}

}  // namespace win
}  // namespace base
