// Every installer process that is not itself a crash reporter reports its
// crashes to one: the reporter its launcher uses (switch
// "crash-reporter-pid"), or one it starts now, the same executable with the
// switch "crash-reporter-parent-id". The client connects its crash handler
// to the reporter's pipe and hands over its crash-key table; the reporter
// writes, names and uploads every file.
//
//   StartCrashReporterClient(command_line);   // once, during start-up
//   child.AppendSwitchASCII("crash-reporter-pid",
//                           installer::GetCrashReporterPidText(own));

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORTER_CLIENT_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORTER_CLIENT_H_

#include <windows.h>

#include <stdint.h>

#include <memory>
#include <string>

#include "components/crash_handler/crash_handler_types.h"

namespace base {
class CommandLine;
}  // namespace base

namespace crash_reporter {

// Names shared with the reporter, each followed by a process id: the ready
// event (of the client that starts the reporter) and the pipe (of the
// reporter).
extern const wchar_t kCrashReporterInitEventPrefix[];
extern const wchar_t kCrashReporterPipePrefix[];

// "<prefix><pid>" when it fits the 38 characters the names are made for,
// else empty.
std::wstring FormatCrashReporterObjectName(const wchar_t* prefix, uint32_t pid);

// The whole client start-up, in order: the callback filter, the reporter,
// the crash handler, the installer's crash keys.
void StartCrashReporterClient(const base::CommandLine& command_line);

// Lets exceptions inside window procedures called by the system reach the
// crash handler instead of being swallowed (where the system can be told).
void DisableUserModeCallbackExceptionFilter();

// Finds or starts the reporter and stores its id (GetCrashReporterProcessId
// of process/crash_reporter_pid.h); true when there is one.
bool InitCrashReporterProcess(const base::CommandLine& command_line);

// Starts a reporter and waits, at most 2 s, until it is ready; its id, or 0.
uint32_t LaunchCrashReporter(const base::CommandLine& command_line);

// This process's command line, program included, with the switch
// "crash-reporter-parent-id" set to this process's id.
std::unique_ptr<base::CommandLine> MakeCrashReporterCommandLine(
    const base::CommandLine& command_line);

// The decimal value of "crash-reporter-pid"; 0 when missing or malformed.
uint32_t GetCrashReporterPidSwitch(const base::CommandLine& command_line);

// Connects the crash handler to the stored reporter; without a reporter,
// or when no instance of its pipe that the reporter itself serves can be
// reached (another process may hold instances of the name), the process
// goes on with no crash handler.
void InstallCrashHandler();

// Whether a crash handler is connected.
bool IsCrashHandlerInstalled();

// The crash handler's callbacks. Only the first crashing thread reports;
// later ones wait for ever while the first ends the process.
bool CrashFilterCallback(void* context,
                         EXCEPTION_POINTERS* exinfo,
                         crash_handler::MDRawAssertionInfo* assertion);
bool CrashMinidumpCallback(const wchar_t* dump_path,
                           const wchar_t* minidump_id,
                           void* context,
                           EXCEPTION_POINTERS* exinfo,
                           crash_handler::MDRawAssertionInfo* assertion,
                           bool succeeded);
// For exceptions in window procedures: reports, then ends the process with
// exit code 1.
int DumpAndTerminate(EXCEPTION_POINTERS* exinfo);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORTER_CLIENT_H_
