// An installer process in miniature for the crash reporter tests. Started
// with "crash-reporter-parent-id" it is a crash reporter, as RunInstaller
// makes one; otherwise it runs the client start-up of every installer
// process, writes "<reporter pid> <handler 0|1>" and a line end to standard
// output, waits for the named event "test-event" when one is given (at
// most 30 s, else exit code 3), and then crashes in the way "test-crash"
// names (a kind of CauseCrash in crash_actions.cc; exit code 91 for one it
// does not know) or, without it, ends with 0. "test-crash=unreadable-report"
// registers once more by hand with exception pointers the reporter cannot
// read, asks for a report and ends with 0 when the reporter answered
// within 30 s (4 when not, 5 when it could not register).
// "test-upload-timeout-ms" bounds each step of the reporter's uploads, for
// the tests of servers that never answer. KELVO_TEST_REPORTER_DUMP_LIMIT (a
// number of bytes) replaces the limit of a crashed reporter's minidump and
// V1 file in every reporter of a chain: the crashed reporter starts the
// next one with a command line of its own, which no test switch reaches.
// KELVO_TEST_CRASHED_REPORTER_WAIT_MS likewise replaces how long a crashed
// reporter waits for the one that reports it.
// With "test-action=count" it only counts: it adds "test-count" (a number)
// to the counter "test-name" of the counter file "test-file" and ends with
// 0 once the count is written.
// Reporters crash on purpose when the environment says so, so that the
// variables reach every reporter of a chain: with KELVO_TEST_SERVING_CRASH a
// serving reporter crashes once it is ready for its parent, with
// KELVO_TEST_SECOND_CRASH a second reporter once it has released the
// crashed one. The value is the kind: "access-violation", "pure-call", or
// "invalid-parameter", which enters the reporter's handler as the runtime
// would, with a 200-character expression.

#include <windows.h>

#include <stdio.h>

#include <string>

#include "base/at_exit.h"
#include "base/command_line.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "components/crash_handler/test/crash_actions.h"
#include "components/crash_handler/test/raw_registration_client.h"
#include "desktop/windows/crash_reporter/crash_files.h"
#include "desktop/windows/crash_reporter/crash_reporter_client.h"
#include "desktop/windows/crash_reporter/crash_reporter_main.h"
#include "desktop/windows/crash_reporter/crash_reporter_settings.h"
#include "desktop/windows/crash_reporter/named_counter_file.h"
#include "desktop/windows/crash_reporter/self_crash_reporter.h"
#include "desktop/windows/crash_reporter/upload_job.h"
#include "desktop/windows/installer/process/crash_reporter_pid.h"
#include "desktop/windows/installer/product/installer_switches.h"

namespace {

constexpr int kUnknownAction = 91;
constexpr DWORD kEventWaitMs = 30000;

bool WaitForNamedEvent(const std::wstring& name) {
  HANDLE event = ::OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
  return event && ::WaitForSingleObject(event, kEventWaitMs) == WAIT_OBJECT_0;
}

// A report the reporter must drop: it may not leave this process frozen.
int ReportUnreadableCrash() {
  crash_handler::RawRegistrationClient client(
      crash_reporter::FormatCrashReporterObjectName(
          crash_reporter::kCrashReporterPipePrefix,
          installer::GetCrashReporterProcessId()));
  if (!client.CompleteRegistration(
          crash_handler::RawRegistrationClient::ValidRequest())) {
    return 5;
  }
  return client.RequestDump(kEventWaitMs) ? 0 : 4;
}

// Waits in a thread of its own until the named event is set, then crashes
// the process in the way |kind| says.
void CrashOnEvent(const std::wstring& event_name, const std::wstring& kind) {
  struct Crash {
    base::win::ScopedHandle event;
    std::wstring kind;
  };
  auto* crash = new Crash{base::win::ScopedHandle(::OpenEventW(
                              SYNCHRONIZE, FALSE, event_name.c_str())),
                          kind};
  auto body = [](void* parameter) -> DWORD {
    auto* crash = static_cast<Crash*>(parameter);
    if (::WaitForSingleObject(crash->event.Get(), kEventWaitMs) !=
        WAIT_OBJECT_0) {
      return 0;
    }
    if (crash->kind == L"invalid-parameter") {
      crash_reporter::CrashReporterInvalidParameterHandler(
          std::wstring(200, L'x').c_str(), L"strcpy_s", L"strcpy.c", 42, 0);
    }
    crash_handler::CauseCrash(crash->kind);
    return 0;
  };
  ::CloseHandle(::CreateThread(nullptr, 0, body, crash, 0, nullptr));
}

// The planned crash of a reporter, if the environment asks for one; true
// when one is planned.
bool PlanReporterCrash(const base::CommandLine& command_line) {
  uint32_t parent = 0;
  if (!crash_reporter::GetCrashReporterParentIdSwitch(command_line, &parent))
    return false;
  bool serving =
      !command_line.HasSwitch(installer::switches::kCrashReporterExceptionInfo);
  bool second = !serving && !command_line.HasSwitch(
                                installer::switches::kCrashReporterMinidump);
  std::wstring kind =
      base::UTF8ToWide(crash_reporter::GetEnvironmentVariableString(
          serving ? "KELVO_TEST_SERVING_CRASH" : "KELVO_TEST_SECOND_CRASH"));
  if (kind.empty() || (!serving && !second))
    return false;
  CrashOnEvent(crash_reporter::FormatCrashReporterObjectName(
                   serving ? crash_reporter::kCrashReporterInitEventPrefix
                           : crash_reporter::kCrashReporterExceptionEventPrefix,
                   parent),
               kind);
  return true;
}

void ApplyTestLimits(const base::CommandLine& command_line) {
  int upload_timeout_ms = 0;
  if (base::StringToInt(
          command_line.GetSwitchValueASCII("test-upload-timeout-ms"),
          &upload_timeout_ms)) {
    crash_reporter::UploadJob::SetTimeoutForTesting(upload_timeout_ms);
  }
  uint64_t dump_limit = 0;
  if (base::StringToUint64(crash_reporter::GetEnvironmentVariableString(
                               "KELVO_TEST_REPORTER_DUMP_LIMIT"),
                           &dump_limit)) {
    crash_reporter::SetMaxCrashReporterMinidumpSizeForTesting(dump_limit);
  }
  unsigned wait_ms = 0;
  if (base::StringToUint(crash_reporter::GetEnvironmentVariableString(
                             "KELVO_TEST_CRASHED_REPORTER_WAIT_MS"),
                         &wait_ms)) {
    crash_reporter::SetSecondReporterWaitForTesting(wait_ms);
  }
}

int Count(const base::CommandLine& command_line) {
  int count = 0;
  base::StringToInt(command_line.GetSwitchValueASCII("test-count"), &count);
  crash_reporter::NamedCounterFile counters(
      command_line.GetSwitchValuePath("test-file"));
  std::string name = command_line.GetSwitchValueASCII("test-name");
  for (int i = 0; i < count; ++i)
    counters.Add(name, 1, true);
  return 0;
}

}  // namespace

int wmain() {
  base::AtExitManager at_exit;
  base::CommandLine::Init(0, nullptr);
  const base::CommandLine& command_line =
      *base::CommandLine::ForCurrentProcess();
  ApplyTestLimits(command_line);
  bool crash_planned = PlanReporterCrash(command_line);
  if (crash_reporter::RunCrashReporterRole(command_line)) {
    // The crash ends the process; an ordinary end would race with it.
    if (crash_planned)
      ::Sleep(2 * kEventWaitMs);
    return 0;
  }
  if (command_line.GetSwitchValueASCII("test-action") == "count")
    return Count(command_line);

  crash_reporter::StartCrashReporterClient(command_line);
  printf("%u %d\n", installer::GetCrashReporterProcessId(),
         crash_reporter::IsCrashHandlerInstalled() ? 1 : 0);
  fflush(stdout);

  std::wstring event_name = command_line.GetSwitchValueNative("test-event");
  if (!event_name.empty() && !WaitForNamedEvent(event_name))
    return 3;
  std::wstring crash = command_line.GetSwitchValueNative("test-crash");
  if (crash.empty())
    return 0;
  if (crash == L"unreadable-report")
    return ReportUnreadableCrash();
  crash_handler::CauseCrash(crash);
  return kUnknownAction;
}
