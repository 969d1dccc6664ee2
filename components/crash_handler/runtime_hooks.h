// The C runtime's own crash hooks: its handlers of invalid-parameter calls
// and of pure virtual calls. They are looked up at run time, because not
// every runtime DLL has them (Wine's msvcrt has neither); compiled C++ code
// reaches pure virtual calls through ExceptionHandler's __cxa_pure_virtual.

#ifndef COMPONENTS_CRASH_HANDLER_RUNTIME_HOOKS_H_
#define COMPONENTS_CRASH_HANDLER_RUNTIME_HOOKS_H_

#include <stdint.h>

namespace crash_handler {

using InvalidParameterHandler = void(__cdecl*)(const wchar_t* expression,
                                               const wchar_t* function,
                                               const wchar_t* file,
                                               unsigned int line,
                                               uintptr_t reserved);
using PurecallHandler = void(__cdecl*)();

// Install |handler| when the runtime has the hook; the previous handler,
// or null (also when there is no hook).
InvalidParameterHandler SetRuntimeInvalidParameterHandler(
    InvalidParameterHandler handler);
PurecallHandler SetRuntimePurecallHandler(PurecallHandler handler);

}  // namespace crash_handler

#endif  // COMPONENTS_CRASH_HANDLER_RUNTIME_HOOKS_H_
