// The text crash logs the reporter writes: of a crashed client, read
// through what the client registered, and of a crashed crash reporter, read
// through its CrashReporterExceptionInfo. The crashed process's threads
// are held still while it is read.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CLIENT_TEXT_CRASH_LOG_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CLIENT_TEXT_CRASH_LOG_H_

#include <stdint.h>

namespace base {
class FilePath;
}  // namespace base

namespace crash_handler {
class ClientInfo;
}  // namespace crash_handler

namespace crash_reporter {

// Writes the log of |client| to |path| (which may exist, empty); false,
// with nothing left at |path|, when the crash cannot be read or the file
// cannot be written.
bool WriteClientTextCrashLog(const crash_handler::ClientInfo& client,
                             const base::FilePath& path);

// The same for the crashed reporter |pid|, whose record is at
// |record_address| in it.
bool WriteCrashReporterTextCrashLog(uint32_t pid,
                                    uint64_t record_address,
                                    const base::FilePath& path);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CLIENT_TEXT_CRASH_LOG_H_
