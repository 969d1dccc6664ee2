#include "base/win/vista_function.h"

#include "base/win/windows_version.h"

namespace base {
namespace win {

FARPROC GetVistaKernel32Function(const char* name) {
  if (GetVersion() < VERSION_VISTA)
    return nullptr;
  // kernel32 is in every process from its start and never unloaded.
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  return kernel32 ? ::GetProcAddress(kernel32, name) : nullptr;
}

}  // namespace win
}  // namespace base
