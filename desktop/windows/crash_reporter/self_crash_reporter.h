// What reports a crashed reporter: a second reporter (the same executable
// started with "crash-reporter-exception-info") reads the fixed record the
// crashing one filled, releases it through its exception event, and reports
// a crashed reporter at most once in three days per user.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_SELF_CRASH_REPORTER_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_SELF_CRASH_REPORTER_H_

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "components/crash_handler/crash_handler_types.h"

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

// Whole days since the last reported crash of a reporter (a missing value
// is created as 0: a very long time). False when the registry cannot be
// used or the stored time lies in the future.
bool GetDaysSinceLastCrashReporterCrash(int64_t* days);

// Records |utc| as the time of the last reported crash of a reporter.
void SetLastCrashReporterCrashTime(const SYSTEMTIME& utc);

// Releases a crashed reporter that waits for its report to be read.
void SignalCrashReporterExceptionEvent(DWORD pid);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_SELF_CRASH_REPORTER_H_
