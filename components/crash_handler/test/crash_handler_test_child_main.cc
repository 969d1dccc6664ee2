// A client of a crash server for the crash handler tests:
//
//   crash_handler_test_child.exe PIPE SERVER_PID ACTION [EVENT]
//
// registers with the server on PIPE that process SERVER_PID (decimal)
// serves (exit code 90 when it cannot), with the crash keys
// process_type=crash-test and child=1, then:
//   any crash of CauseCrash (crash_actions.cc); a breakpoint there is not
//                       handled as a crash
//   breakpoint-handled  a breakpoint, debug exceptions handled
//   write-dump          reports a made-up exception without crashing, then
//                       exits with 1
//   wait                waits for the named event EVENT (at most 30 s) and
//                       exits with 0
//   crash-on-event      waits for EVENT, then writes through a null pointer
// Unknown actions exit with 91.

#include <windows.h>

#include <string.h>
#include <wchar.h>

#include <string>

#include "components/crash_handler/exception_handler.h"
#include "components/crash_handler/test/crash_actions.h"

namespace {

constexpr int kNotRegistered = 90;
constexpr int kUnknownAction = 91;
constexpr DWORD kEventWaitMs = 30000;

crash_handler::CustomInfoEntry g_keys[2];

void SetKey(crash_handler::CustomInfoEntry* entry,
            const wchar_t* name,
            const wchar_t* value) {
  wcsncpy(entry->name, name, 63);
  wcsncpy(entry->value, value, 63);
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
  if (argc < 4)
    return kUnknownAction;
  const DWORD server_pid = wcstoul(argv[2], nullptr, 10);
  std::wstring action = argv[3];
  const wchar_t* event_name = argc > 4 ? argv[4] : L"";
  SetKey(&g_keys[0], L"process_type", L"crash-test");
  SetKey(&g_keys[1], L"child", L"1");
  crash_handler::CustomClientInfo keys = {g_keys, 2};
  // Never destroyed: crashes may come until the process ends.
  auto* handler = new crash_handler::ExceptionHandler(
      L"", nullptr, nullptr, nullptr,
      crash_handler::ExceptionHandler::HANDLER_ALL, MiniDumpNormal, argv[1],
      server_pid, &keys);
  if (!handler->IsOutOfProcess())
    return kNotRegistered;

  if (action == L"breakpoint-handled") {
    handler->set_handle_debug_exceptions(true);
    action = L"breakpoint";
  } else if (action == L"write-dump") {
    return WriteDumpAndExit(handler);
  } else if (action == L"wait") {
    return WaitForNamedEvent(event_name) ? 0 : 3;
  } else if (action == L"crash-on-event") {
    if (!WaitForNamedEvent(event_name))
      return 3;
    action = L"access-violation";
  }
  crash_handler::CauseCrash(action);
  return kUnknownAction;
}
