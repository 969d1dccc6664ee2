#include "desktop/windows/crash_reporter/debugger_attachment.h"

#include "base/logging.h"

namespace crash_reporter {

DWORD AttachAsDebugger(DWORD pid) {
  if (!::DebugActiveProcess(pid)) {
    PLOG(ERROR) << "DebugActiveProcess failed";
    return 0;
  }
  // Should this reporter die while attached, the client must live on.
  ::DebugSetProcessKillOnExit(FALSE);
  return pid;
}

DebuggerAttachment::DebuggerAttachment(DWORD pid)
    : attached_pid_(AttachAsDebugger(pid)) {}

DebuggerAttachment::~DebuggerAttachment() {
  if (attached_pid_ && !::DebugActiveProcessStop(attached_pid_))
    PLOG(ERROR) << "DebugActiveProcessStop failed";
}

}  // namespace crash_reporter
