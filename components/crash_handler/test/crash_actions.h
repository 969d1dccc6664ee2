// Crashes made on purpose, one of each kind the crash handler reports, for
// the programs that tests start.

#ifndef COMPONENTS_CRASH_HANDLER_TEST_CRASH_ACTIONS_H_
#define COMPONENTS_CRASH_HANDLER_TEST_CRASH_ACTIONS_H_

#include <string>

namespace crash_handler {

// Crashes in the way named (see the list in the .cc file); returns false at
// once for a name it does not know, and returns at all only then.
bool CauseCrash(const std::wstring& kind);

}  // namespace crash_handler

#endif  // COMPONENTS_CRASH_HANDLER_TEST_CRASH_ACTIONS_H_
