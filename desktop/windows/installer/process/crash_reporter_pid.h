// The crash reporter that this process and the installer processes it
// starts report to.

#ifndef DESKTOP_WINDOWS_INSTALLER_PROCESS_CRASH_REPORTER_PID_H_
#define DESKTOP_WINDOWS_INSTALLER_PROCESS_CRASH_REPORTER_PID_H_

#include <stdint.h>

#include <string>

namespace base {
class CommandLine;
}  // namespace base

namespace installer {

// The reporter found or started during start-up; 0 for none (also before
// start-up has looked).
uint32_t GetCrashReporterProcessId();
void SetCrashReporterProcessId(uint32_t pid);

// The process id of that reporter as the "crash-reporter-pid" switch of a
// child writes it; "0" for none. Before start-up has found one, the reporter
// named by |command_line|, the process's own.
std::string GetCrashReporterPidText(const base::CommandLine& command_line);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PROCESS_CRASH_REPORTER_PID_H_
