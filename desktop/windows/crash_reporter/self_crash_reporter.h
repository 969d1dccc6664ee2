// What a crash reporter prepares so that its own crash can be reported by
// a second reporter (the same executable started with
// "crash-reporter-exception-info"), and what the second one uses: the fixed
// record the crashing reporter fills, the exception event on which it waits
// for the second one, and the rule that reports a crashed reporter at most
// once in three days per user.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_SELF_CRASH_REPORTER_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_SELF_CRASH_REPORTER_H_

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "components/crash_handler/crash_handler_types.h"

namespace base {
class FilePath;
}  // namespace base

namespace crash_reporter {

// Read out of the crashed reporter by the second one: the layout is fixed.
struct CrashReporterExceptionInfo {
  uint32_t thread_id;
  uint32_t padding;
  uint64_t exception_pointers;  // EXCEPTION_POINTERS* in the crashed process.
  crash_handler::MDRawAssertionInfo assertion;
};
static_assert(offsetof(CrashReporterExceptionInfo, exception_pointers) == 8);
static_assert(offsetof(CrashReporterExceptionInfo, assertion) == 16);
static_assert(offsetof(CrashReporterExceptionInfo, assertion.line) == 784);
static_assert(offsetof(CrashReporterExceptionInfo, assertion.type) == 788);
static_assert(sizeof(CrashReporterExceptionInfo) == 792);

extern const wchar_t kCrashReporterExceptionEventPrefix[];
extern const wchar_t kLastCrashReporterCrashValue[];

// The process's record, zero until a crash fills it.
CrashReporterExceptionInfo* GetCrashReporterExceptionInfo();

// Makes, once per process, the exception event and the command line of the
// second reporter (with "crash-reporter-minidump" when |with_minidump|: the
// third reporter then writes a V1 crash file). Unprepared when the
// executable's path or the event cannot be had.
void PrepareSelfCrashReporter(bool with_minidump);
bool IsSelfCrashReporterPrepared();
const std::wstring& GetSelfCrashReporterCommandLine();

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
