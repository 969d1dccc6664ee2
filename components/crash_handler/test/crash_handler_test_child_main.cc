// A client of a crash server for the crash handler tests:
//
//   crash_handler_test_child.exe PIPE ACTION [EVENT]
//
// registers with the server on PIPE (exit code 90 when it cannot), with the
// crash keys process_type=crash-test and child=1, then:
//   access-violation    writes through a null pointer
//   pure-call           calls a pure virtual function
//   invalid-parameter   enters the invalid-parameter handler as the runtime
//                       would (Wine's runtime has no hook for it)
//   abort               calls abort()
//   terminate           calls std::terminate()
//   throw               throws a C++ exception that nobody catches
//   throw-on-thread     the same on a thread of its own
//   breakpoint          a breakpoint, debug exceptions not handled
//   breakpoint-handled  a breakpoint, debug exceptions handled
//   two-threads         two threads fault at the same moment
//   write-dump          reports a made-up exception without crashing, then
//                       exits with 1
//   wait                waits for the named event EVENT (at most 30 s) and
//                       exits with 0
//   crash-on-event      waits for EVENT, then writes through a null pointer
// The filter lets only the first crashing thread report, as the installer's
// does. Unknown actions exit with 91.

#include <windows.h>

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <atomic>
#include <exception>
#include <stdexcept>
#include <string>

#include "components/crash_handler/exception_handler.h"

namespace {

constexpr int kNotRegistered = 90;
constexpr int kUnknownAction = 91;
constexpr DWORD kEventWaitMs = 30000;

std::atomic<int> g_first_crash{0};

bool FilterCallback(void*,
                    EXCEPTION_POINTERS*,
                    crash_handler::MDRawAssertionInfo*) {
  int expected = 0;
  if (g_first_crash.compare_exchange_strong(expected, 1))
    return true;
  ::Sleep(INFINITE);
  return false;
}

bool MinidumpCallback(const wchar_t*,
                      const wchar_t*,
                      void*,
                      EXCEPTION_POINTERS*,
                      crash_handler::MDRawAssertionInfo*,
                      bool succeeded) {
  return succeeded;
}

crash_handler::CustomInfoEntry g_keys[2];

void SetKey(crash_handler::CustomInfoEntry* entry,
            const wchar_t* name,
            const wchar_t* value) {
  wcsncpy(entry->name, name, 63);
  wcsncpy(entry->value, value, 63);
}

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
  // Out of line, so that the compiler cannot see that the call is pure.
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
  ::WaitForSingleObject(g_start_faulting, kEventWaitMs);
  WriteNull();
  return 0;
}

int TwoThreadsFault() {
  g_start_faulting = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE threads[] = {
      ::CreateThread(nullptr, 0, &FaultingThread, nullptr, 0, nullptr),
      ::CreateThread(nullptr, 0, &FaultingThread, nullptr, 0, nullptr)};
  ::SetEvent(g_start_faulting);
  ::WaitForMultipleObjects(2, threads, TRUE, kEventWaitMs);
  return 0;
}

bool WaitForNamedEvent(const wchar_t* name) {
  HANDLE event = ::OpenEventW(SYNCHRONIZE, FALSE, name);
  return event && ::WaitForSingleObject(event, kEventWaitMs) == WAIT_OBJECT_0;
}

int WriteDumpAndExit(crash_handler::ExceptionHandler* handler) {
  CONTEXT context = {};
  ::RtlCaptureContext(&context);
  EXCEPTION_RECORD record = {};
  record.ExceptionCode = 0xE0000042;
  record.ExceptionAddress = reinterpret_cast<void*>(context.Rip);
  EXCEPTION_POINTERS pointers = {&record, &context};
  return handler->WriteMinidumpForException(&pointers) ? 1 : 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3)
    return kUnknownAction;
  std::wstring action = argv[2];
  const wchar_t* event_name = argc > 3 ? argv[3] : L"";
  SetKey(&g_keys[0], L"process_type", L"crash-test");
  SetKey(&g_keys[1], L"child", L"1");
  crash_handler::CustomClientInfo keys = {g_keys, 2};
  // Never destroyed: crashes may come until the process ends.
  auto* handler = new crash_handler::ExceptionHandler(
      L"", &FilterCallback, &MinidumpCallback, nullptr,
      crash_handler::ExceptionHandler::HANDLER_ALL, MiniDumpNormal, argv[1],
      &keys);
  if (!handler->IsOutOfProcess())
    return kNotRegistered;

  if (action == L"access-violation") {
    WriteNull();
  } else if (action == L"pure-call") {
    Derived derived;
  } else if (action == L"invalid-parameter") {
    crash_handler::ExceptionHandler::HandleInvalidParameter(
        L"buffer != nullptr", L"strcpy_s", L"strcpy.c", 42, 0);
  } else if (action == L"abort") {
    abort();
  } else if (action == L"terminate") {
    std::terminate();
  } else if (action == L"throw") {
    throw std::runtime_error("nobody catches this");
  } else if (action == L"throw-on-thread") {
    HANDLE thread =
        ::CreateThread(nullptr, 0, &ThrowingThread, nullptr, 0, nullptr);
    ::WaitForSingleObject(thread, kEventWaitMs);
  } else if (action == L"breakpoint") {
    __debugbreak();
  } else if (action == L"breakpoint-handled") {
    handler->set_handle_debug_exceptions(true);
    __debugbreak();
  } else if (action == L"two-threads") {
    return TwoThreadsFault();
  } else if (action == L"write-dump") {
    return WriteDumpAndExit(handler);
  } else if (action == L"wait") {
    return WaitForNamedEvent(event_name) ? 0 : 3;
  } else if (action == L"crash-on-event") {
    if (WaitForNamedEvent(event_name))
      WriteNull();
    return 3;
  }
  return kUnknownAction;
}
