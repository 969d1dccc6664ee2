// Plays the installer library that another program of the user puts into
// an unpacked package in place of the real one: loaded by installer.exe,
// it marks that its code ran ("planted_code_ran" in %TEMP%) and reports
// success without installing anything.

#include <windows.h>

#include <string>

extern "C" __declspec(dllexport) bool RunInstaller() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH)
    return true;
  std::wstring path(temp, length);
  path += L"planted_code_ran";
  HANDLE marker = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE)
    ::CloseHandle(marker);
  return true;
}
