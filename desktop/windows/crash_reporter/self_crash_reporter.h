// How a crash reporter's own crash gets reported. Every reporter prepares,
// before its real work, a second reporter: the same executable, started
// only when this one crashes, with "crash-reporter-exception-info" naming
// the address of a fixed record that the crashing thread fills. The second
// reporter reads that record and the crashed reporter's memory from
// outside, writes the report and releases the crashed one through its
// exception event. A second reporter prepares a third, which writes a V1
// crash file instead; the third prepares nothing. A crashed reporter is
// reported at most once in three days per user.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_SELF_CRASH_REPORTER_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_SELF_CRASH_REPORTER_H_

#include <windows.h>

#include <stdint.h>

#include <string>

#include "components/crash_report/crash_reporter_exception_info.h"

namespace base {
class FilePath;
}  // namespace base

namespace crash_reporter {

using crash_report::CrashReporterExceptionInfo;

extern const wchar_t kCrashReporterExceptionEventPrefix[];
extern const wchar_t kLastCrashReporterCrashValue[];

// The process's record, zero until a crash fills it.
CrashReporterExceptionInfo* GetCrashReporterExceptionInfo();

// Takes over, once per process, the crash entries of a reporter: unhandled
// exceptions, the runtime's invalid-parameter calls and pure virtual calls.
void InstallCrashReporterExceptionFilter();

// Makes, once per process, the exception event and the command line of the
// second reporter (with "crash-reporter-minidump" when |with_minidump|, and
// this process's "user-data-dir").
// Unprepared when the executable's path or the event cannot be had: a
// crash then ends the reporter unreported.
void PrepareSelfCrashReporter(bool with_minidump);
bool IsSelfCrashReporterPrepared();
const std::wstring& GetSelfCrashReporterCommandLine();

// Starts the prepared second reporter and waits, at most 20 s, until it
// has read the record.
void LaunchSelfCrashReporter();

// Replaces the 20 s of LaunchSelfCrashReporter's wait, so that tests on a
// busy machine can tell a lost report from a slow one.
void SetSecondReporterWaitForTesting(DWORD milliseconds);

// The crash entries. The first crashing thread fills the record and
// launches the second reporter; later ones stop where they are. The two
// runtime handlers then end the process with their crash code.
LONG WINAPI CrashReporterUnhandledExceptionFilter(EXCEPTION_POINTERS* pointers);
void __cdecl CrashReporterInvalidParameterHandler(const wchar_t* expression,
                                                  const wchar_t* function,
                                                  const wchar_t* file,
                                                  unsigned int line,
                                                  uintptr_t reserved);
void __cdecl CrashReporterPurecallHandler();

// Fills |record| for a crash of the calling thread.
void FillCrashReporterExceptionInfo(
    EXCEPTION_POINTERS* pointers,
    const crash_handler::MDRawAssertionInfo& assertion,
    CrashReporterExceptionInfo* record);

// The executable of this process.
bool GetExecutablePath(base::FilePath* path);

// Whole days since the last reported crash of a reporter (a missing value
// is created as 0: a very long time). False when the registry cannot be
// used or the stored time lies in the future.
bool GetDaysSinceLastCrashReporterCrash(int64_t* days);
// Stores |utc_time| as the last reported crash of a reporter.
void SetLastCrashReporterCrashTime(const SYSTEMTIME& utc_time);

// Releases a crashed reporter that waits for its report to be read.
void SignalCrashReporterExceptionEvent(DWORD pid);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_SELF_CRASH_REPORTER_H_
