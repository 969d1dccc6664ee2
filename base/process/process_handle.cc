#include "base/process/process_handle.h"

#include <tlhelp32.h>

#include <atomic>

#include "base/files/file_path.h"
#include "base/logging.h"
#include "base/win/scoped_handle.h"
#include "base/win/vista_function.h"

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

bool GetProcessImagePath(ProcessHandle process, FilePath* path) {
  static const auto query_image_name =
      win::GetVistaFunction<decltype(&::QueryFullProcessImageNameW)>(
          "QueryFullProcessImageNameW");
  if (!query_image_name) {
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
      LOG(WARNING) << "Before Windows Vista no process's image path is read";
    return false;
  }
  wchar_t name[MAX_PATH];
  DWORD size = MAX_PATH;
  if (!query_image_name(process, 0, name, &size))
    return false;
  *path = FilePath(std::wstring(name, size));
  return true;
}

}  // namespace base
