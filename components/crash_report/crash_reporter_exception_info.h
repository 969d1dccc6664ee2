// The record through which a crashed crash reporter is reported by another
// reporter process: the crashing reporter fills it in its own memory, and
// the other one reads it from there. Both run the same executable, but the
// layout is fixed all the same, since it crosses processes.

#ifndef COMPONENTS_CRASH_REPORT_CRASH_REPORTER_EXCEPTION_INFO_H_
#define COMPONENTS_CRASH_REPORT_CRASH_REPORTER_EXCEPTION_INFO_H_

#include <stddef.h>
#include <stdint.h>

#include "components/crash_handler/crash_handler_types.h"

namespace crash_report {

struct CrashReporterExceptionInfo {
  uint32_t thread_id;
  uint32_t padding;
  uint64_t exception_pointers;  // EXCEPTION_POINTERS* in the crashed process.
  crash_handler::MDRawAssertionInfo assertion;
};
static_assert(offsetof(CrashReporterExceptionInfo, exception_pointers) == 8);
static_assert(offsetof(CrashReporterExceptionInfo, assertion) == 16);
static_assert(offsetof(CrashReporterExceptionInfo, assertion.function) == 272);
static_assert(offsetof(CrashReporterExceptionInfo, assertion.file) == 528);
static_assert(offsetof(CrashReporterExceptionInfo, assertion.line) == 784);
static_assert(offsetof(CrashReporterExceptionInfo, assertion.type) == 788);
static_assert(sizeof(CrashReporterExceptionInfo) == 792);

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_CRASH_REPORTER_EXCEPTION_INFO_H_
