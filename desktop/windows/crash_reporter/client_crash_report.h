// Sends what one report of a crashed client left in the crash directory:
// asks the crash server for the crash's id, queues the zipped text log for
// the crash server and the minidump for the collector, and records the id
// the server gave.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CLIENT_CRASH_REPORT_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CLIENT_CRASH_REPORT_H_

#include <windows.h>

#include <stdint.h>

#include "base/files/file_path.h"
#include "components/crash_handler/crash_handler_types.h"

namespace crash_reporter {

struct DumpCallbackContext;

// The files of report |number|; a path is empty when that file was not
// written.
struct ClientCrashFiles {
  uint32_t number = 0;
  base::FilePath text_log;
  base::FilePath minidump;
};

// The crash id request is bounded by this; the client waits meanwhile.
constexpr int kCrashIdRequestTimeoutMs = 3000;

// |process| and |keys| are the crashed client's. Returns once the uploads
// are queued; they hold |context|'s waiter until they are done, and delete
// their files afterwards unless the context keeps logs.
void SendClientCrashReport(const DumpCallbackContext& context,
                           HANDLE process,
                           const crash_handler::CustomClientInfo& keys,
                           const ClientCrashFiles& files);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CLIENT_CRASH_REPORT_H_
