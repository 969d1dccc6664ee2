// Process ids and handles, and the functions that work on them.

#ifndef BASE_PROCESS_PROCESS_HANDLE_H_
#define BASE_PROCESS_PROCESS_HANDLE_H_

#include <windows.h>

namespace base {

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

}  // namespace base

#endif  // BASE_PROCESS_PROCESS_HANDLE_H_
