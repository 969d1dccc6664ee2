// A process that crashes in a known way and holds still, as a crashed
// installer process does in its crash handler, for tests that read it:
//
//   crash_report_test_child.exe REPORT EVENT THREADS [ASSERTION_TYPE]
//
// Loads crash_report_test_module.dll, starts THREADS idle threads and calls
// kFaultAddress with R12, R13 and RBX (pointing to g_marker) set. Its filter
// writes the addresses of what a crash handler keeps to REPORT as
// "name=value" lines (hexadecimal), sets EVENT and sleeps until killed.

#include <windows.h>

#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "components/crash_report/crash_reporter_exception_info.h"
#include "components/crash_report/test/test_child_constants.h"

namespace {

using crash_report::CrashReporterExceptionInfo;

EXCEPTION_POINTERS* g_exception_pointers = nullptr;
DWORD g_crashed_thread_id = 0;
CrashReporterExceptionInfo g_record = {};
const wchar_t* g_report_path = nullptr;
const wchar_t* g_event_name = nullptr;
alignas(16) const char g_marker[] = "KELVO-TEST-MARKER-0123456789";

uint64_t AddressOf(const void* pointer) {
  return reinterpret_cast<uintptr_t>(pointer);
}

LONG WINAPI KeepCrash(EXCEPTION_POINTERS* pointers) {
  g_exception_pointers = pointers;
  g_crashed_thread_id = ::GetCurrentThreadId();
  g_record.thread_id = g_crashed_thread_id;
  g_record.exception_pointers = AddressOf(pointers);
  FILE* report = _wfopen(g_report_path, L"w");
  if (report) {
    fprintf(report,
            "pointers=%" PRIX64 "\nthread=%" PRIX64 "\nrecord=%" PRIX64
            "\ntid=%lX\nmarker=%" PRIX64 "\n",
            AddressOf(&g_exception_pointers), AddressOf(&g_crashed_thread_id),
            AddressOf(&g_record), g_crashed_thread_id, AddressOf(g_marker));
    fclose(report);
  }
  HANDLE event = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, g_event_name);
  if (event)
    ::SetEvent(event);
  ::Sleep(INFINITE);
  return EXCEPTION_EXECUTE_HANDLER;
}

DWORD WINAPI WaitForever(void*) {
  ::Sleep(INFINITE);
  return 0;
}

[[noreturn]] void CallFaultAddress() {
  asm volatile(
      "movabsq %0, %%r12\n\t"
      "movabsq %1, %%r13\n\t"
      "movq %2, %%rbx\n\t"
      "movq %3, %%rax\n\t"
      "call *%%rax\n\t"
      :
      : "i"(crash_report::kTestR12), "i"(crash_report::kTestR13), "r"(g_marker),
        "i"(crash_report::kFaultAddress)
      : "rax", "rbx", "r12", "r13", "memory");
  __builtin_unreachable();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4)
    return 100;
  g_report_path = argv[1];
  g_event_name = argv[2];
  int threads = _wtoi(argv[3]);
  g_record.assertion.type = argc > 4 ? _wtoi(argv[4]) : 0;
  wcscpy(g_record.assertion.expression, L"buffer != nullptr");
  g_record.assertion.line = 42;
  if (!::LoadLibraryW(crash_report::kTestModuleName))
    return 101;
  for (int i = 0; i < threads; ++i)
    ::CreateThread(nullptr, 0, &WaitForever, nullptr, 0, nullptr);
  ::SetUnhandledExceptionFilter(&KeepCrash);
  CallFaultAddress();
}
