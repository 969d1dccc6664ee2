// The crash reporter's own log: "<product>_crashreporter.log" in the
// temporary folder, shared by every reporter of the user (locked while a
// line is written) and started afresh by each.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORTER_LOGGING_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORTER_LOGGING_H_

#include <string>

namespace crash_reporter {

// The log file's path; empty when the temporary folder is unknown or the
// path would be too long.
std::wstring GetCrashReporterLogPath();

// Sends the process's log there (or to the system debug log when there is
// no file), every line with process, thread, time and tick count; the
// lines of a thread that runs a CrashLoggerCapture go to the capture.
void InitCrashReporterLogging();

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORTER_LOGGING_H_
