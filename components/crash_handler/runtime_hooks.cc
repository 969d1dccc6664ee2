#include "components/crash_handler/runtime_hooks.h"

#include <windows.h>

namespace crash_handler {

namespace {

// The runtime the process's C code calls.
#if defined(_UCRT)
constexpr wchar_t kRuntimeModule[] = L"ucrtbase.dll";
#else
constexpr wchar_t kRuntimeModule[] = L"msvcrt.dll";
#endif

template <typename Function>
Function FindRuntimeFunction(const char* name) {
  HMODULE runtime = ::GetModuleHandleW(kRuntimeModule);
  if (!runtime)
    return nullptr;
  return reinterpret_cast<Function>(::GetProcAddress(runtime, name));
}

}  // namespace

InvalidParameterHandler SetRuntimeInvalidParameterHandler(
    InvalidParameterHandler handler) {
  using Setter = InvalidParameterHandler(__cdecl*)(InvalidParameterHandler);
  auto set = FindRuntimeFunction<Setter>("_set_invalid_parameter_handler");
  return set ? set(handler) : nullptr;
}

PurecallHandler SetRuntimePurecallHandler(PurecallHandler handler) {
  using Setter = PurecallHandler(__cdecl*)(PurecallHandler);
  auto set = FindRuntimeFunction<Setter>("_set_purecall_handler");
  return set ? set(handler) : nullptr;
}

}  // namespace crash_handler
