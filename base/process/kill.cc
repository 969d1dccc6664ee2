#include "base/process/kill.h"

#include "base/logging.h"

namespace base {

bool KillProcess(ProcessHandle process, int exit_code, bool wait) {
  if (!::TerminateProcess(process, static_cast<UINT>(exit_code))) {
    // TerminateProcess refuses a process that has already ended.
    DWORD error = ::GetLastError();
    if (::WaitForSingleObject(process, 0) == WAIT_OBJECT_0)
      return true;
    LOG(ERROR) << "Cannot end process " << ::GetProcessId(process) << ": "
               << logging::SystemErrorCodeToString(error);
    return false;
  }
  if (!wait)
    return true;
  DWORD result =
      ::WaitForSingleObject(process, kKillWaitTimeout.InMillisecondsForWait());
  if (result != WAIT_OBJECT_0) {
    LOG(ERROR) << "Process " << ::GetProcessId(process)
               << " did not end within " << kKillWaitTimeout.InSeconds()
               << " s of being killed";
    return false;
  }
  return true;
}

}  // namespace base
