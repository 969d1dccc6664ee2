// Window procedures run under an exception filter that the process chooses
// once (the crash reporter's, in the installer). On 64-bit Windows an
// exception inside a window procedure that the system called would
// otherwise be swallowed, or end the process without a report.
//
//   base::win::SetWinProcExceptionFilter(&DumpAndTerminate);
//   window_class.lpfnWndProc = base::win::WrappedWindowProc<MyWindowProc>;
//
// A filter that answers EXCEPTION_EXECUTE_HANDLER makes the message's
// result 0; EXCEPTION_CONTINUE_SEARCH lets the exception go on outwards.

#ifndef BASE_WIN_WRAPPED_WINDOW_PROC_H_
#define BASE_WIN_WRAPPED_WINDOW_PROC_H_

#include <windows.h>

namespace base {
namespace win {

using WinProcExceptionFilter = int (*)(EXCEPTION_POINTERS* info);

// Sets the filter and returns the one before. Not thread-safe: set it
// during start-up.
WinProcExceptionFilter SetWinProcExceptionFilter(WinProcExceptionFilter filter);

// The filter's answer, or EXCEPTION_CONTINUE_SEARCH without one.
int CallExceptionFilter(EXCEPTION_POINTERS* info);

// Calls |proc| under the filter.
LRESULT CallWindowProcWithExceptionFilter(WNDPROC proc,
                                          HWND hwnd,
                                          UINT message,
                                          WPARAM wparam,
                                          LPARAM lparam);

template <WNDPROC proc>
LRESULT CALLBACK
WrappedWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return CallWindowProcWithExceptionFilter(proc, hwnd, message, wparam, lparam);
}

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_WRAPPED_WINDOW_PROC_H_
