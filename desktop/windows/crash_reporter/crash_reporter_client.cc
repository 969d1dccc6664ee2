#include "desktop/windows/crash_reporter/crash_reporter_client.h"

#include <atomic>
#include <string>

#include "base/command_line.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "base/win/wrapped_window_proc.h"
#include "components/crash_handler/exception_handler.h"
#include "desktop/windows/crash_reporter/crash_key_table.h"
#include "desktop/windows/installer/process/crash_reporter_pid.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/product/version_info.h"

namespace crash_reporter {

const wchar_t kCrashReporterInitEventPrefix[] = L"KelvoCrashReporterInitEvent";
const wchar_t kCrashReporterPipePrefix[] = L"\\\\.\\pipe\\KelvoCrashReporter";

namespace {

// The size of the name buffers, terminator included.
constexpr size_t kObjectNameSize = 38;
// How long a new reporter may take to get ready.
constexpr DWORD kReporterReadyTimeoutMs = 2000;
constexpr DWORD kProcessCallbackFilterEnabled = 0x1;

// Never deleted once installed: crashes may come until the process ends.
crash_handler::ExceptionHandler* g_crash_handler = nullptr;
std::atomic<int> g_first_crash{0};

}  // namespace

std::wstring FormatCrashReporterObjectName(const wchar_t* prefix,
                                           uint32_t pid) {
  std::wstring name = prefix + std::to_wstring(pid);
  return name.size() < kObjectNameSize ? name : std::wstring();
}

void StartCrashReporterClient(const base::CommandLine& command_line) {
  DisableUserModeCallbackExceptionFilter();
  if (InitCrashReporterProcess(command_line))
    InstallCrashHandler();
  SetInstallerCrashKeys();
}

void DisableUserModeCallbackExceptionFilter() {
  HMODULE kernel32 = ::LoadLibraryA("kernel32.dll");
  if (!kernel32)
    return;
  using GetPolicy = BOOL(WINAPI*)(DWORD*);
  using SetPolicy = BOOL(WINAPI*)(DWORD);
  auto get_policy = reinterpret_cast<GetPolicy>(
      ::GetProcAddress(kernel32, "GetProcessUserModeExceptionPolicy"));
  auto set_policy = reinterpret_cast<SetPolicy>(
      ::GetProcAddress(kernel32, "SetProcessUserModeExceptionPolicy"));
  DWORD flags = 0;
  if (get_policy && set_policy && get_policy(&flags))
    set_policy(flags & ~kProcessCallbackFilterEnabled);
}

bool InitCrashReporterProcess(const base::CommandLine& command_line) {
  if (installer::GetBuildNumber() < 0)
    return false;
  uint32_t pid = GetCrashReporterPidSwitch(command_line);
  if (!pid)
    pid = LaunchCrashReporter(command_line);
  installer::SetCrashReporterProcessId(pid);
  return pid != 0;
}

uint32_t LaunchCrashReporter(const base::CommandLine& command_line) {
  std::unique_ptr<base::CommandLine> reporter_command_line =
      MakeCrashReporterCommandLine(command_line);
  std::wstring event_name = FormatCrashReporterObjectName(
      kCrashReporterInitEventPrefix, ::GetCurrentProcessId());
  if (event_name.empty())
    return 0;
  base::win::ScopedHandle ready(
      ::CreateEventW(nullptr, TRUE, FALSE, event_name.c_str()));
  if (!ready.IsValid())
    return 0;
  // CreateProcessW may write into the command line.
  std::wstring command = reporter_command_line->GetCommandLineString();
  STARTUPINFOW startup_info = {};
  startup_info.cb = sizeof(startup_info);
  PROCESS_INFORMATION process_info = {};
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup_info, &process_info)) {
    return 0;
  }
  base::win::ScopedHandle process(process_info.hProcess);
  base::win::ScopedHandle thread(process_info.hThread);
  // A reporter without consent ends without signalling: its end answers at
  // once. One that is late keeps running and serves nobody.
  HANDLE handles[] = {ready.Get(), process.Get()};
  DWORD wait =
      ::WaitForMultipleObjects(2, handles, FALSE, kReporterReadyTimeoutMs);
  return wait == WAIT_OBJECT_0 ? process_info.dwProcessId : 0;
}

std::unique_ptr<base::CommandLine> MakeCrashReporterCommandLine(
    const base::CommandLine& command_line) {
  auto reporter =
      std::make_unique<base::CommandLine>(base::CommandLine::NO_PROGRAM);
  reporter->AppendArguments(command_line, true);
  reporter->AppendSwitchASCII(installer::switches::kCrashReporterParentId,
                              base::NumberToString(::GetCurrentProcessId()));
  return reporter;
}

uint32_t GetCrashReporterPidSwitch(const base::CommandLine& command_line) {
  unsigned pid = 0;
  if (!base::StringToUint(command_line.GetSwitchValueASCII(
                              installer::switches::kCrashReporterPid),
                          &pid)) {
    return 0;
  }
  return pid;
}

void InstallCrashHandler() {
  uint32_t pid = installer::GetCrashReporterProcessId();
  if (g_crash_handler || !pid)
    return;
  std::wstring pipe_name =
      FormatCrashReporterObjectName(kCrashReporterPipePrefix, pid);
  if (pipe_name.empty())
    return;
  crash_handler::CustomClientInfo custom_info =
      CrashKeyTable::GetInstance()->GetCustomClientInfo();
  auto handler = std::make_unique<crash_handler::ExceptionHandler>(
      L"", &CrashFilterCallback, &CrashMinidumpCallback, nullptr,
      crash_handler::ExceptionHandler::HANDLER_ALL, MiniDumpNormal,
      pipe_name.c_str(), pid, &custom_info);
  if (!handler->IsOutOfProcess())
    return;
  handler->set_handle_debug_exceptions(true);
  g_crash_handler = handler.release();
  base::win::SetWinProcExceptionFilter(&DumpAndTerminate);
}

bool IsCrashHandlerInstalled() {
  return g_crash_handler != nullptr;
}

bool CrashFilterCallback(void*,
                         EXCEPTION_POINTERS*,
                         crash_handler::MDRawAssertionInfo*) {
  int expected = 0;
  if (g_first_crash.compare_exchange_strong(expected, 1))
    return true;
  // The first crash ends the process; this thread waits for that.
  ::Sleep(INFINITE);
  return false;
}

bool CrashMinidumpCallback(const wchar_t*,
                           const wchar_t*,
                           void*,
                           EXCEPTION_POINTERS*,
                           crash_handler::MDRawAssertionInfo*,
                           bool) {
  return true;
}

int DumpAndTerminate(EXCEPTION_POINTERS* exinfo) {
  if (g_crash_handler)
    g_crash_handler->WriteMinidumpForException(exinfo);
  ::TerminateProcess(::GetCurrentProcess(), 1);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace crash_reporter
