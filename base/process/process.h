// Owns a handle to a process: this one, a child just started, or another
// one opened by id. Every wait on the process has a time limit; pass
// TimeDelta::Max() to wait without one.

#ifndef BASE_PROCESS_PROCESS_H_
#define BASE_PROCESS_PROCESS_H_

#include <windows.h>

#include "base/process/process_handle.h"
#include "base/time/time.h"
#include "base/win/scoped_handle.h"

namespace base {

// Enough to wait for a process, read its exit code and end it.
constexpr DWORD kBasicProcessAccess =
    PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE;

class Process {
 public:
  // Takes ownership of |handle| (which must not be this process's pseudo
  // handle: use Current()).
  explicit Process(ProcessHandle handle = kNullProcessHandle);
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  static Process Current();
  // Opens the process |pid| with kBasicProcessAccess, or |desired_access|.
  // The result is not valid when the process cannot be opened.
  static Process Open(ProcessId pid);
  static Process OpenWithAccess(ProcessId pid, DWORD desired_access);

  bool IsValid() const;
  ProcessHandle Handle() const;
  // A second, independent handle with the same access.
  Process Duplicate() const;
  ProcessId Pid() const;
  bool is_current() const { return is_current_process_; }
  void Close();

  // Ends the process with |exit_code|; with |wait|, waits (up to
  // kKillWaitTimeout) until it has ended. True when it has ended or will.
  bool Terminate(int exit_code, bool wait) const;

  // Waits at most |timeout| for the process to end. True when it has ended;
  // its exit code then goes to |exit_code| unless that is null (false when
  // the code is asked for but cannot be read). A zero timeout only checks.
  bool WaitForExitWithTimeout(TimeDelta timeout, int* exit_code) const;

 private:
  win::ScopedHandle process_;
  bool is_current_process_ = false;
};

}  // namespace base

#endif  // BASE_PROCESS_PROCESS_H_
