#include "desktop/windows/installer/process/delay_load_failure.h"

#include <string>

#include "base/logging.h"
#include "base/strings/stringprintf.h"

namespace installer {

namespace {

// The log line for a failure the delay-load helper reports, or an empty
// string for a notification that is no failure.
std::string DescribeDelayLoadFailure(unsigned notification,
                                     const DelayLoadInfo& info) {
  const char* dll = info.szDll ? info.szDll : "(unnamed)";
  const std::string error = logging::SystemErrorCodeToString(info.dwLastError);
  switch (notification) {
    case dliFailLoadLib:
      return base::StringPrintf("Cannot load the system library %s: %s", dll,
                                error.c_str());
    case dliFailGetProc:
      if (info.dlp.fImportByName && info.dlp.szProcName) {
        return base::StringPrintf("Cannot find %s in the system library %s: %s",
                                  info.dlp.szProcName, dll, error.c_str());
      }
      return base::StringPrintf(
          "Cannot find entry #%lu in the system library %s: %s",
          static_cast<unsigned long>(info.dlp.dwOrdinal), dll, error.c_str());
    default:
      return std::string();
  }
}

}  // namespace

FARPROC WINAPI OnDelayLoadFailure(unsigned notification, DelayLoadInfo* info) {
  const std::string failure =
      info ? DescribeDelayLoadFailure(notification, *info) : std::string();
  if (failure.empty())
    return nullptr;
  LOG(ERROR) << failure;
  ::TerminateProcess(::GetCurrentProcess(), kDelayLoadFailureExitCode);
  return nullptr;
}

}  // namespace installer

// The delay-load helper of the runtime calls this hook; it takes the place
// of the runtime's empty default (cmake/delay_load.cmake).
// (delayimp.h declares it with C linkage.)
PfnDliHook __pfnDliFailureHook2 = installer::OnDelayLoadFailure;
