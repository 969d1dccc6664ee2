// The crash reporter role of the installer executable, started with the
// switch "crash-reporter-parent-id":
// - serving (without "crash-reporter-exception-info"): reports the crashes
//   of its parent installer process and of every installer process that
//   reaches it through "crash-reporter-pid", until the parent has ended and
//   every report is done;
// - reporting a crashed reporter (with it): the second reporter, or the
//   third with "crash-reporter-minidump".
// Without the user's consent the reporter serves and reports nothing.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORTER_MAIN_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORTER_MAIN_H_

#include <stdint.h>

namespace base {
class CommandLine;
}  // namespace base

namespace crash_reporter {

// Runs the reporter role when |command_line| asks for it; false when it
// does not (the process plays another role).
bool RunCrashReporterRole(const base::CommandLine& command_line);

// Serves clients; 0 after serving, -1 when set-up failed (nothing was
// signalled, so the launching client goes on without a crash handler).
int RunCrashReporterServer(const base::CommandLine& command_line);

// Reports the crashed reporter named by the command line.
void RunCrashReporterForCrashReporter(const base::CommandLine& command_line);

// The decimal switch values; false when missing or malformed.
bool GetCrashReporterParentIdSwitch(const base::CommandLine& command_line,
                                    uint32_t* pid);
bool GetCrashReporterExceptionInfoSwitch(const base::CommandLine& command_line,
                                         uint64_t* address);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORTER_MAIN_H_
