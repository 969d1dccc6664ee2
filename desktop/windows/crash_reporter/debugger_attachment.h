// Holds a crashed client's threads still while the reporter reads it, by
// attaching to it as its debugger, and always detaches again: a client
// left attached would stay frozen, and with it every process waiting for
// it (the reporter waits for its parent).

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_DEBUGGER_ATTACHMENT_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_DEBUGGER_ATTACHMENT_H_

#include <windows.h>

namespace crash_reporter {

// Attaches this thread to |pid| as its debugger, without ending the process
// when this one ends; the process id attached to, or 0 (logged).
DWORD AttachAsDebugger(DWORD pid);

class DebuggerAttachment {
 public:
  explicit DebuggerAttachment(DWORD pid);
  DebuggerAttachment(const DebuggerAttachment&) = delete;
  DebuggerAttachment& operator=(const DebuggerAttachment&) = delete;
  // Detaches on every path out of the reader; a failure is logged.
  ~DebuggerAttachment();

  bool attached() const { return attached_pid_ != 0; }

 private:
  const DWORD attached_pid_;
};

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_DEBUGGER_ATTACHMENT_H_
