// One report of a crashed client, run by the crash server while the client
// waits: counts the crash by the client's process type, claims the report's
// number and writes its text crash log in the crash directory, with the
// report's own log lines at its end, and, with "alternative-crash-logging",
// its minidump; then asks the crash server for the crash's id and queues
// the files' uploads, which outlive the client's wait.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CLIENT_DUMP_REQUEST_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CLIENT_DUMP_REQUEST_H_

#include <memory>

namespace crash_handler {
class ClientInfo;
}  // namespace crash_handler

namespace crash_reporter {

class NamedCounterFile;
class ProcessExitWaiter;

// What every report of one reporter shares; owned by the serving reporter
// for the life of its server.
struct DumpCallbackContext {
  DumpCallbackContext();
  ~DumpCallbackContext();

  // Null when there is no counter file.
  std::unique_ptr<NamedCounterFile> counters;
  // Crash files stay after their upload.
  bool keep_logs = false;
  // Holds the reporter open while a report runs.
  ProcessExitWaiter* waiter = nullptr;
};

// The crash server's dump callback; |context| is a DumpCallbackContext.
void OnClientDumpRequest(void* context,
                         const crash_handler::ClientInfo* client);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CLIENT_DUMP_REQUEST_H_
