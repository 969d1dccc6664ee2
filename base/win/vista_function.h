// Functions that kernel32 gained with Windows Vista, found at run time. A
// module that imports one at load time does not load at all on Windows XP
// x64 or Server 2003 (tools/check_load_time_imports.py keeps them out of
// the import tables), so every caller has a fallback for a null result.

#ifndef BASE_WIN_VISTA_FUNCTION_H_
#define BASE_WIN_VISTA_FUNCTION_H_

#include <windows.h>

namespace base {
namespace win {

// The address of the kernel32 export |name| on Windows Vista and later;
// null before Vista, where the older code path runs even on a system that
// happens to have the export, and null when the export is missing.
FARPROC GetVistaKernel32Function(const char* name);

// The same, cast to the function's type: for example
//   GetVistaFunction<decltype(&::CancelIoEx)>("CancelIoEx").
template <typename Function>
Function GetVistaFunction(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetVistaKernel32Function(name)));
}

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_VISTA_FUNCTION_H_
