// Ending other processes.

#ifndef BASE_PROCESS_KILL_H_
#define BASE_PROCESS_KILL_H_

#include "base/process/process_handle.h"
#include "base/time/time.h"

namespace base {

// How long KillProcess waits, when asked to, for the process to be gone.
constexpr TimeDelta kKillWaitTimeout = TimeDelta::FromSeconds(60);

// Ends |process| with |exit_code|. With |wait|, also waits up to
// kKillWaitTimeout until it has ended. True when the process has ended or
// will end; a process that had already ended counts as killed.
bool KillProcess(ProcessHandle process, int exit_code, bool wait);

}  // namespace base

#endif  // BASE_PROCESS_KILL_H_
