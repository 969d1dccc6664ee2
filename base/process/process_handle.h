// Process ids and handles, and the functions that work on them.

#ifndef BASE_PROCESS_PROCESS_HANDLE_H_
#define BASE_PROCESS_PROCESS_HANDLE_H_

#include <windows.h>

namespace base {

class FilePath;

using ProcessHandle = HANDLE;
using ProcessId = DWORD;
constexpr ProcessHandle kNullProcessHandle = nullptr;
constexpr ProcessId kNullProcessId = 0;

ProcessId GetCurrentProcId();
// The pseudo handle of this process; it needs no closing.
ProcessHandle GetCurrentProcessHandle();
// kNullProcessId when |process| is no valid process handle.
ProcessId GetProcId(ProcessHandle process);
// The id of the process that created |process|, found in a process
// snapshot; kNullProcessId when it cannot be found. The parent may have
// ended since, and its id may even have been reused.
ProcessId GetParentProcessId(ProcessHandle process);
// The full path of the executable of |process|, opened with at least
// PROCESS_QUERY_LIMITED_INFORMATION, in Win32 form, at most MAX_PATH - 1
// characters long. False on failure, and always before Windows Vista,
// which lacks the query (said in the log once).
bool GetProcessImagePath(ProcessHandle process, FilePath* path);

}  // namespace base

#endif  // BASE_PROCESS_PROCESS_HANDLE_H_
