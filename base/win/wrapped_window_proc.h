// Window procedures run under an exception filter that the process chooses
// once (the crash reporter's, in the installer). On 64-bit Windows an
// exception inside a window procedure that the system called would
// otherwise be swallowed, or end the process without a report.
//
//   base::win::SetWinProcExceptionFilter(&DumpAndTerminate);
//   window_class.lpfnWndProc = base::win::WrappedWindowProc<MyWindowProc>;
//   ::CreateDialogParamW(..., base::win::WrappedDialogProc<MyDialogProc>, ...);
//   ::SetWindowSubclass(control, base::win::WrappedSubclassProc<MyProc>, ...);
//
// A filter that answers EXCEPTION_EXECUTE_HANDLER makes the message's
// result 0; EXCEPTION_CONTINUE_SEARCH lets the exception go on outwards.

#ifndef BASE_WIN_WRAPPED_WINDOW_PROC_H_
#define BASE_WIN_WRAPPED_WINDOW_PROC_H_

#include <windows.h>

#include <commctrl.h>

namespace base {
namespace win {

using WinProcExceptionFilter = int (*)(EXCEPTION_POINTERS* info);

// Sets the filter and returns the one before. Not thread-safe: set it
// during start-up.
WinProcExceptionFilter SetWinProcExceptionFilter(WinProcExceptionFilter filter);

// The filter's answer, or EXCEPTION_CONTINUE_SEARCH without one.
int CallExceptionFilter(EXCEPTION_POINTERS* info);

// Calls |function| with |argument| under the filter; 0 when the filter
// handled an exception.
LRESULT CallWithExceptionFilter(LRESULT (*function)(void* argument),
                                void* argument);

// Calls |proc| under the filter.
LRESULT CallWindowProcWithExceptionFilter(WNDPROC proc,
                                          HWND hwnd,
                                          UINT message,
                                          WPARAM wparam,
                                          LPARAM lparam);

namespace internal {

// The arguments of one call of a window, dialog or subclass procedure.
struct WindowProcCall {
  HWND hwnd;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  UINT_PTR subclass_id;
  DWORD_PTR subclass_data;
};

}  // namespace internal

template <WNDPROC proc>
LRESULT CALLBACK
WrappedWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return CallWindowProcWithExceptionFilter(proc, hwnd, message, wparam, lparam);
}

template <DLGPROC proc>
INT_PTR CALLBACK
WrappedDialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  internal::WindowProcCall call = {hwnd, message, wparam, lparam, 0, 0};
  return CallWithExceptionFilter(
      [](void* argument) -> LRESULT {
        auto* c = static_cast<internal::WindowProcCall*>(argument);
        return proc(c->hwnd, c->message, c->wparam, c->lparam);
      },
      &call);
}

template <SUBCLASSPROC proc>
LRESULT CALLBACK WrappedSubclassProc(HWND hwnd,
                                     UINT message,
                                     WPARAM wparam,
                                     LPARAM lparam,
                                     UINT_PTR subclass_id,
                                     DWORD_PTR subclass_data) {
  internal::WindowProcCall call = {hwnd,   message,     wparam,
                                   lparam, subclass_id, subclass_data};
  return CallWithExceptionFilter(
      [](void* argument) -> LRESULT {
        auto* c = static_cast<internal::WindowProcCall*>(argument);
        return proc(c->hwnd, c->message, c->wparam, c->lparam, c->subclass_id,
                    c->subclass_data);
      },
      &call);
}

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_WRAPPED_WINDOW_PROC_H_
