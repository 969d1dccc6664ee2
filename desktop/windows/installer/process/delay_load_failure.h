// What happens when a delay-loaded system DLL, or a function of one, cannot
// be found at its first call.

#ifndef DESKTOP_WINDOWS_INSTALLER_PROCESS_DELAY_LOAD_FAILURE_H_
#define DESKTOP_WINDOWS_INSTALLER_PROCESS_DELAY_LOAD_FAILURE_H_

#include <windows.h>

#include <delayimp.h>

namespace installer {

// The exit code of a process ended by a missing DLL or function: the host's
// code for a failed run, so that a parent judges it as any other failure.
constexpr UINT kDelayLoadFailureExitCode = 1;

// The failure hook of the modules linked with delay-loaded DLLs
// (cmake/delay_load.cmake): logs the failure as an error and ends the
// process with kDelayLoadFailureExitCode. The caller cannot go on without
// the function it called, and a crash would report the machine's missing
// system file as a fault of the installer.
FARPROC WINAPI OnDelayLoadFailure(unsigned notification, DelayLoadInfo* info);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PROCESS_DELAY_LOAD_FAILURE_H_
