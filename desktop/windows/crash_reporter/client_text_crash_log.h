// The text crash log of a crashed client: for now its header (the build,
// the exception and the main module) and its crash keys as metadata. The
// client's threads are held still while it is read.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CLIENT_TEXT_CRASH_LOG_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CLIENT_TEXT_CRASH_LOG_H_

#include <string>
#include <utility>
#include <vector>

#include "components/crash_handler/crash_handler_types.h"

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

// The metadata made from a table of crash keys: each name with a value,
// pieces of a range joined, in the order the names first appear; names that
// are not plain words (or without terminator) are left out, as are the
// keys that go elsewhere (Version and build_number into the header; ptime,
// URL, crash_guid and modules).
std::vector<std::pair<std::string, std::string>> CrashKeysToMetadata(
    const crash_handler::CustomClientInfo& keys);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CLIENT_TEXT_CRASH_LOG_H_
