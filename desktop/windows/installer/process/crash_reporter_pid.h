// The crash reporter that this process and the installer processes it
// starts report to.

#ifndef DESKTOP_WINDOWS_INSTALLER_PROCESS_CRASH_REPORTER_PID_H_
#define DESKTOP_WINDOWS_INSTALLER_PROCESS_CRASH_REPORTER_PID_H_

#include <string>

namespace base {
class CommandLine;
}  // namespace base

namespace installer {

// The process id of that reporter as the "crash-reporter-pid" switch of a
// child writes it; "0" for none. |command_line| is the process's own.
std::string GetCrashReporterPidText(const base::CommandLine& command_line);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PROCESS_CRASH_REPORTER_PID_H_
