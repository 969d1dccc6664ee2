// A program linked as installer.dll is, with its system DLLs delay-loaded,
// that also imports from a DLL that does not exist and a function that
// kernel32.dll does not have. It logs to the file its first argument names,
// then calls what its second argument names:
//   present   a delay-loaded function of a system DLL; prints its answer
//   library   the function of the missing DLL
//   function  the missing function of kernel32.dll
// Exits with 0 after "present", 3 when a call that should have ended it
// returned, 2 on a bad command line.

#include <windows.h>

#include <shlwapi.h>

#include <cstdio>
#include <string>

#include "base/logging.h"

extern "C" {
// From the delay-import libraries made of the .def files beside this file.
int WINAPI KelvoAbsentLibraryFunction(int);
int WINAPI KelvoAbsentKernelFunction(int);
}

int wmain(int argc, wchar_t** argv) {
  if (argc != 3)
    return 2;
  logging::LoggingSettings settings;
  settings.logging_dest = logging::LOG_TO_FILE;
  settings.log_file = argv[1];
  logging::InitLogging(settings);
  const std::wstring call = argv[2];
  if (call == L"present") {
    std::printf("%d", ::PathIsRelativeW(L"relative\\path") ? 1 : 0);
    std::fflush(stdout);
    return 0;
  }
  if (call == L"library")
    return KelvoAbsentLibraryFunction(1) ? 3 : 3;
  if (call == L"function")
    return KelvoAbsentKernelFunction(1) ? 3 : 3;
  return 2;
}
