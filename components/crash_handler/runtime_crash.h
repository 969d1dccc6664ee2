// What describes a crash that the runtime reports through a handler of its
// own rather than an exception: its assertion record, and exception
// pointers made on the spot.

#ifndef COMPONENTS_CRASH_HANDLER_RUNTIME_CRASH_H_
#define COMPONENTS_CRASH_HANDLER_RUNTIME_CRASH_H_

#include <windows.h>

#include <stdint.h>

#include "components/crash_handler/crash_handler_types.h"

namespace crash_handler {

// An invalid-parameter call: each text that is given, cut to 127
// characters, and the line.
MDRawAssertionInfo MakeInvalidParameterAssertion(const wchar_t* expression,
                                                 const wchar_t* function,
                                                 const wchar_t* file,
                                                 unsigned int line);

// Exception pointers to the caller's own context and a record of |code| at
// its instruction. The reporter reads them from the caller's frame, which
// must stay alive until the report is done.
struct CapturedException {
  CONTEXT context;
  EXCEPTION_RECORD record;
  EXCEPTION_POINTERS pointers;
};

// Inlined, so that the context is the caller's and not a returned frame's.
__attribute__((always_inline)) inline void CaptureException(
    uint32_t code,
    CapturedException* exception) {
  *exception = {};
  ::RtlCaptureContext(&exception->context);
  exception->record.ExceptionCode = code;
  exception->record.ExceptionAddress =
      reinterpret_cast<void*>(exception->context.Rip);
  exception->pointers = {&exception->record, &exception->context};
}

}  // namespace crash_handler

#endif  // COMPONENTS_CRASH_HANDLER_RUNTIME_CRASH_H_
