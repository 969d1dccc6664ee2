// Starting a process through WMI (Win32_Process.Create): the WMI service
// creates it, so it is nobody's child. It does not belong to the caller's
// job, holds none of the caller's handles and is not waited for by whoever
// waits for the caller and its children.
//
//   base::win::ScopedCOMInitializer com;
//   int pid = 0;
//   if (!base::win::WmiLaunchProcess(L"\"C:\\b\\browser.exe\" url", &pid))
//     LOG(ERROR) << "Could not start the browser";

#ifndef BASE_WIN_WMI_H_
#define BASE_WIN_WMI_H_

#include <string>

namespace base {
namespace win {

// Starts |command_line| (program and arguments, quoted as Windows expects).
// True when WMI reports the process created; |process_id| (may be null)
// then receives its id. Every failing step is logged. COM must be
// initialised on the calling thread.
bool WmiLaunchProcess(const std::wstring& command_line, int* process_id);

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_WMI_H_
