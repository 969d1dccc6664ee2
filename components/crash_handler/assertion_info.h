// The assertion record of a crash that the runtime reports through a
// handler of its own rather than an exception.

#ifndef COMPONENTS_CRASH_HANDLER_ASSERTION_INFO_H_
#define COMPONENTS_CRASH_HANDLER_ASSERTION_INFO_H_

#include "components/crash_handler/crash_handler_types.h"

namespace crash_handler {

// An invalid-parameter call: each text that is given, cut to 127
// characters, and the line.
MDRawAssertionInfo MakeInvalidParameterAssertion(const wchar_t* expression,
                                                 const wchar_t* function,
                                                 const wchar_t* file,
                                                 unsigned int line);

}  // namespace crash_handler

#endif  // COMPONENTS_CRASH_HANDLER_ASSERTION_INFO_H_
