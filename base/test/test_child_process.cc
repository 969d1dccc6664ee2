#include "base/test/test_child_process.h"

#include <windows.h>

namespace base {

std::wstring TestChildCommandLine(const std::wstring& arguments) {
  wchar_t self[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, length);
  path.resize(path.rfind(L'\\') + 1);
  return L"\"" + path + L"base_test_child.exe\" " + arguments;
}

}  // namespace base
