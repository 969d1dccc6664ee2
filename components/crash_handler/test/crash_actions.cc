#include "components/crash_handler/test/crash_actions.h"

#include <windows.h>

#include <stdlib.h>

#include <exception>
#include <stdexcept>

#include "base/win/wrapped_window_proc.h"
#include "components/crash_handler/exception_handler.h"

namespace crash_handler {

namespace {

constexpr DWORD kThreadWaitMs = 30000;

// The pointer is read at run time, so the compiler cannot drop the write.
int* volatile g_null_pointer = nullptr;

__attribute__((noinline)) void WriteNull() {
  *g_null_pointer = 1;
}

class Base {
 public:
  Base() { CallPure(); }
  virtual ~Base() = default;
  virtual void Pure() = 0;
  // Through a pointer read at run time, so that the compiler cannot see
  // that the call is pure.
  __attribute__((noinline)) void CallPure() {
    void (Base::*volatile method)() = &Base::Pure;
    (this->*method)();
  }
};

class Derived : public Base {
 public:
  void Pure() override {}
};

DWORD WINAPI ThrowingThread(void*) {
  throw std::runtime_error("nobody catches this");
}

HANDLE g_start_faulting = nullptr;

DWORD WINAPI FaultingThread(void*) {
  ::WaitForSingleObject(g_start_faulting, kThreadWaitMs);
  WriteNull();
  return 0;
}

LRESULT CALLBACK FaultingWindowProc(HWND, UINT, WPARAM, LPARAM) {
  WriteNull();
  return 0;
}

void RunThread(LPTHREAD_START_ROUTINE body) {
  HANDLE thread = ::CreateThread(nullptr, 0, body, nullptr, 0, nullptr);
  ::WaitForSingleObject(thread, kThreadWaitMs);
}

}  // namespace

// access-violation, pure-call, abort, terminate, throw (on this thread),
// throw-on-thread, breakpoint, two-threads (fault at the same moment),
// window-procedure (a fault inside a window procedure, called as the system
// would call it), and invalid-parameter, which enters the handler as the
// runtime would: Wine's runtime offers no hook for it.
bool CauseCrash(const std::wstring& kind) {
  if (kind == L"access-violation") {
    WriteNull();
  } else if (kind == L"pure-call") {
    Derived derived;
  } else if (kind == L"invalid-parameter") {
    ExceptionHandler::HandleInvalidParameter(L"buffer != nullptr", L"strcpy_s",
                                             L"strcpy.c", 42, 0);
  } else if (kind == L"abort") {
    abort();
  } else if (kind == L"terminate") {
    std::terminate();
  } else if (kind == L"throw") {
    throw std::runtime_error("nobody catches this");
  } else if (kind == L"throw-on-thread") {
    RunThread(&ThrowingThread);
  } else if (kind == L"breakpoint") {
    __debugbreak();
  } else if (kind == L"window-procedure") {
    base::win::WrappedWindowProc<FaultingWindowProc>(nullptr, WM_USER, 0, 0);
  } else if (kind == L"two-threads") {
    g_start_faulting = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE threads[] = {
        ::CreateThread(nullptr, 0, &FaultingThread, nullptr, 0, nullptr),
        ::CreateThread(nullptr, 0, &FaultingThread, nullptr, 0, nullptr)};
    ::SetEvent(g_start_faulting);
    ::WaitForMultipleObjects(2, threads, TRUE, kThreadWaitMs);
  } else {
    return false;
  }
  // A crash that did not end the process is a failure of the test program.
  ::ExitProcess(99);
}

}  // namespace crash_handler
