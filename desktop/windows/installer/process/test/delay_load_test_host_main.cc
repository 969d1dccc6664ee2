// A program linked as installer.dll is, with its system DLLs delay-loaded,
// that also imports from a DLL that does not exist and a function that
// kernel32.dll does not have. It logs to the file its first argument names,
// then calls what its second argument names:
//   present   a delay-loaded function of a system DLL; prints its answer
//   library   the function of the missing DLL
//   function  the missing function of kernel32.dll
//   user-program-files
//             prints the known folder FOLDERID_UserProgramFiles as the
//             installer's services find it, in a process that has not
//             loaded shell32 yet
// Exits with 0 after "present", 3 when a call that should have ended it
// returned, 2 on a bad command line.

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>

#include "base/files/file_path.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/utils.h"

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
  if (call == L"user-program-files") {
    if (::GetModuleHandleW(L"shell32.dll"))
      return 4;  // Not the situation to show.
    base::FilePath folder;
    if (!installer::GetKnownFolderPath(FOLDERID_UserProgramFiles,
                                       CSIDL_LOCAL_APPDATA, &folder, false)) {
      return 1;
    }
    std::printf("%s", base::WideToUTF8(folder.value()).c_str());
    std::fflush(stdout);
    return 0;
  }
  if (call == L"library")
    return KelvoAbsentLibraryFunction(1) ? 3 : 3;
  if (call == L"function")
    return KelvoAbsentKernelFunction(1) ? 3 : 3;
  return 2;
}
