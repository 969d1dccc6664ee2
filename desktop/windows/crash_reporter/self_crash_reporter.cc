#include "desktop/windows/crash_reporter/self_crash_reporter.h"

#include <atomic>

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "components/crash_handler/exception_handler.h"
#include "components/crash_handler/runtime_crash.h"
#include "components/crash_handler/runtime_hooks.h"
#include "desktop/windows/crash_reporter/crash_reporter_client.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/service/utils.h"

namespace crash_reporter {

const wchar_t kCrashReporterExceptionEventPrefix[] =
    L"KelvoCrashReporterException";
const wchar_t kLastCrashReporterCrashValue[] = L"Last crash in crash reporter";

namespace {

constexpr int64_t kFileTimeUnitsPerDay = 864000000000LL;
// How long a crashed reporter waits for the second one to read it.
constexpr DWORD kSecondReporterWaitMs = 20000;
std::atomic<DWORD> g_second_reporter_wait_ms{kSecondReporterWaitMs};

CrashReporterExceptionInfo g_exception_info = {};
std::atomic<uint32_t> g_first_crash{0};
std::atomic<bool> g_handlers_installed{false};

struct SelfReporter {
  bool prepared = false;
  base::win::ScopedHandle exception_event;
  std::wstring command_line;
};

// Never destroyed: a crash may come at any time until the process ends.
SelfReporter& GetSelfReporter() {
  static SelfReporter* self = new SelfReporter();
  return *self;
}

int64_t FileTimeToInt64(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<int64_t>(value.QuadPart);
}

LONG OpenProductKey(base::win::RegKey* key) {
  return key->Create(HKEY_CURRENT_USER,
                     installer::GetProductRegistryKey().c_str(),
                     KEY_QUERY_VALUE | KEY_SET_VALUE);
}

// Only the first crashing thread reports; every later one stops here for
// good, and the first one ends the process.
void StopUnlessFirstCrash() {
  uint32_t expected = 0;
  if (g_first_crash.compare_exchange_strong(expected, 1))
    return;
  ::SuspendThread(::GetCurrentThread());
  for (;;)
    ::Sleep(INFINITE);
}

void ReportCrash(EXCEPTION_POINTERS* pointers,
                 const crash_handler::MDRawAssertionInfo& assertion) {
  StopUnlessFirstCrash();
  if (!IsSelfCrashReporterPrepared())
    return;
  FillCrashReporterExceptionInfo(pointers, assertion, &g_exception_info);
  LaunchSelfCrashReporter();
}

// A crash that the runtime reported without an exception: the record and
// context are made on this frame, which stays alive while the second
// reporter reads them.
[[noreturn]] void ReportRuntimeCrashAndTerminate(
    uint32_t code,
    const crash_handler::MDRawAssertionInfo& assertion) {
  crash_handler::CapturedException exception;
  crash_handler::CaptureException(code, &exception);
  ReportCrash(&exception.pointers, assertion);
  // Never exit(): at-exit work and static destructors would run while the
  // server's threads and upload jobs still use what they destroy. The
  // crash code, as for every crashed installer process.
  ::TerminateProcess(::GetCurrentProcess(), code);
  for (;;)
    ::Sleep(INFINITE);
}

}  // namespace

CrashReporterExceptionInfo* GetCrashReporterExceptionInfo() {
  return &g_exception_info;
}

void InstallCrashReporterExceptionFilter() {
  if (g_handlers_installed.exchange(true))
    return;
  ::SetUnhandledExceptionFilter(&CrashReporterUnhandledExceptionFilter);
  crash_handler::SetRuntimeInvalidParameterHandler(
      &CrashReporterInvalidParameterHandler);
  crash_handler::SetRuntimePurecallHandler(&CrashReporterPurecallHandler);
  crash_handler::ExceptionHandler::SetPureVirtualCallFallback(
      &CrashReporterPurecallHandler);
}

void PrepareSelfCrashReporter(bool with_minidump) {
  SelfReporter& self = GetSelfReporter();
  base::FilePath executable;
  if (self.prepared || !GetExecutablePath(&executable))
    return;
  std::wstring event_name = FormatCrashReporterObjectName(
      kCrashReporterExceptionEventPrefix, ::GetCurrentProcessId());
  if (!event_name.empty()) {
    self.exception_event.Set(
        ::CreateEventW(nullptr, TRUE, FALSE, event_name.c_str()));
  }
  if (!self.exception_event.IsValid()) {
    PLOG(ERROR) << "Cannot create the exception event " << event_name;
    return;
  }
  base::CommandLine command_line(executable);
  command_line.AppendSwitchASCII(
      installer::switches::kCrashReporterExceptionInfo,
      base::NumberToString(static_cast<unsigned long long>(
          reinterpret_cast<uintptr_t>(&g_exception_info))));
  command_line.AppendSwitchASCII(installer::switches::kCrashReporterParentId,
                                 base::NumberToString(::GetCurrentProcessId()));
  if (with_minidump)
    command_line.AppendSwitch(installer::switches::kCrashReporterMinidump);
  // The next reporter must judge consent by the same prefs, and count in
  // the same counter file, as this one.
  base::FilePath user_data_dir =
      base::CommandLine::ForCurrentProcess()->GetSwitchValuePath(
          installer::switches::kUserDataDir);
  if (!user_data_dir.empty()) {
    command_line.AppendSwitchPath(installer::switches::kUserDataDir,
                                  user_data_dir);
  }
  self.command_line = command_line.GetCommandLineString();
  self.prepared = true;
}

bool IsSelfCrashReporterPrepared() {
  return GetSelfReporter().prepared;
}

const std::wstring& GetSelfCrashReporterCommandLine() {
  return GetSelfReporter().command_line;
}

void LaunchSelfCrashReporter() {
  SelfReporter& self = GetSelfReporter();
  // CreateProcessW may write into the command line.
  std::wstring command_line = self.command_line;
  STARTUPINFOW startup_info = {};
  startup_info.cb = sizeof(startup_info);
  PROCESS_INFORMATION process_info = {};
  if (!::CreateProcessW(nullptr, &command_line[0], nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup_info, &process_info)) {
    return;
  }
  ::CloseHandle(process_info.hThread);
  ::CloseHandle(process_info.hProcess);
  const DWORD wait_ms = g_second_reporter_wait_ms.load();
  if (self.exception_event.IsValid())
    ::WaitForSingleObject(self.exception_event.Get(), wait_ms);
  else
    ::Sleep(wait_ms);
}

void SetSecondReporterWaitForTesting(DWORD milliseconds) {
  g_second_reporter_wait_ms.store(milliseconds);
}

LONG WINAPI
CrashReporterUnhandledExceptionFilter(EXCEPTION_POINTERS* pointers) {
  ReportCrash(pointers, crash_handler::MDRawAssertionInfo());
  return EXCEPTION_EXECUTE_HANDLER;
}

void __cdecl CrashReporterInvalidParameterHandler(const wchar_t* expression,
                                                  const wchar_t* function,
                                                  const wchar_t* file,
                                                  unsigned int line,
                                                  uintptr_t) {
  ReportRuntimeCrashAndTerminate(crash_handler::kInvalidParameterExceptionCode,
                                 crash_handler::MakeInvalidParameterAssertion(
                                     expression, function, file, line));
}

void __cdecl CrashReporterPurecallHandler() {
  crash_handler::MDRawAssertionInfo assertion = {};
  assertion.type = crash_handler::kAssertionTypePureVirtualCall;
  ReportRuntimeCrashAndTerminate(crash_handler::kPureVirtualCallExceptionCode,
                                 assertion);
}

void FillCrashReporterExceptionInfo(
    EXCEPTION_POINTERS* pointers,
    const crash_handler::MDRawAssertionInfo& assertion,
    CrashReporterExceptionInfo* record) {
  record->thread_id = ::GetCurrentThreadId();
  record->exception_pointers = reinterpret_cast<uintptr_t>(pointers);
  record->assertion = assertion;
}

bool GetExecutablePath(base::FilePath* path) {
  wchar_t buffer[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return false;
  *path = base::FilePath(std::wstring(buffer, length));
  return true;
}

bool GetDaysSinceLastCrashReporterCrash(int64_t* days) {
  base::win::RegKey key;
  if (OpenProductKey(&key) != ERROR_SUCCESS)
    return false;
  int64_t last = 0;
  LONG result = key.ReadInt64(kLastCrashReporterCrashValue, &last);
  if (result == ERROR_FILE_NOT_FOUND) {
    last = 0;
    if (key.WriteValue(kLastCrashReporterCrashValue, &last, sizeof(last),
                       REG_QWORD) != ERROR_SUCCESS) {
      return false;
    }
  } else if (result != ERROR_SUCCESS) {
    return false;
  }
  SYSTEMTIME now_utc;
  FILETIME now;
  ::GetSystemTime(&now_utc);
  if (!::SystemTimeToFileTime(&now_utc, &now))
    return false;
  int64_t now_value = FileTimeToInt64(now);
  if (last > now_value)
    return false;
  *days = (now_value - last) / kFileTimeUnitsPerDay;
  return true;
}

void SetLastCrashReporterCrashTime(const SYSTEMTIME& utc_time) {
  FILETIME time;
  base::win::RegKey key;
  if (!::SystemTimeToFileTime(&utc_time, &time) ||
      OpenProductKey(&key) != ERROR_SUCCESS) {
    LOG(ERROR) << "Cannot record the time of the reporter's crash";
    return;
  }
  int64_t value = FileTimeToInt64(time);
  if (key.WriteValue(kLastCrashReporterCrashValue, &value, sizeof(value),
                     REG_QWORD) != ERROR_SUCCESS) {
    LOG(ERROR) << "Cannot record the time of the reporter's crash";
  }
}

void SignalCrashReporterExceptionEvent(DWORD pid) {
  std::wstring event_name =
      FormatCrashReporterObjectName(kCrashReporterExceptionEventPrefix, pid);
  if (event_name.empty())
    return;
  base::win::ScopedHandle event(
      ::CreateEventW(nullptr, TRUE, FALSE, event_name.c_str()));
  if (event.IsValid())
    ::SetEvent(event.Get());
}

}  // namespace crash_reporter
