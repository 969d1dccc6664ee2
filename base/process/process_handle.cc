#include "base/process/process_handle.h"

#include <tlhelp32.h>

#include "base/logging.h"
#include "base/win/scoped_handle.h"

namespace base {

ProcessId GetCurrentProcId() {
  return ::GetCurrentProcessId();
}

ProcessHandle GetCurrentProcessHandle() {
  return ::GetCurrentProcess();
}

ProcessId GetProcId(ProcessHandle process) {
  ProcessId pid = ::GetProcessId(process);
  if (pid == kNullProcessId)
    PLOG(ERROR) << "GetProcessId failed";
  return pid;
}

ProcessId GetParentProcessId(ProcessHandle process) {
  ProcessId child_pid = GetProcId(process);
  if (child_pid == kNullProcessId)
    return kNullProcessId;
  win::ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) {
    PLOG(ERROR) << "CreateToolhelp32Snapshot failed";
    return kNullProcessId;
  }
  PROCESSENTRY32W entry = {sizeof(entry)};
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == child_pid)
      return entry.th32ParentProcessID;
  }
  LOG(ERROR) << "Process " << child_pid << " is not in the process snapshot";
  return kNullProcessId;
}

}  // namespace base
