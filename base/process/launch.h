// Starting child processes, and running one to collect its output.

#ifndef BASE_PROCESS_LAUNCH_H_
#define BASE_PROCESS_LAUNCH_H_

#include <windows.h>

#include <string>
#include <vector>

#include "base/process/process.h"
#include "base/time/time.h"

namespace base {

class CommandLine;
class Lock;

struct LaunchOptions {
  LaunchOptions();
  LaunchOptions(const LaunchOptions&);
  LaunchOptions& operator=(const LaunchOptions&);
  ~LaunchOptions();

  // Wait until the child has ended, for at most |wait_timeout|, before
  // LaunchProcess returns. The limit must be given (TimeDelta::Max() waits
  // without one); a child still running when it passes is returned running.
  bool wait = false;
  TimeDelta wait_timeout;

  // Ask the child to hide its first window.
  bool start_hidden = false;

  // Whether the child inherits handles. With an empty |handles_to_inherit|
  // it inherits every inheritable handle of this process; otherwise only
  // those listed (each must be inheritable) and the standard handles below.
  // Hold the process launch lock while creating inheritable handles meant
  // for one child, or other children started meanwhile get them too.
  bool inherit_handles = false;
  std::vector<HANDLE> handles_to_inherit;

  // When any is set, the child gets these as its standard handles (the ones
  // not set are null). They must be inheritable, and |inherit_handles| true.
  HANDLE stdin_handle = nullptr;
  HANDLE stdout_handle = nullptr;
  HANDLE stderr_handle = nullptr;

  // The child's working folder; empty means this process's.
  std::wstring current_directory;
};

// Starts |cmdline| (program and arguments, quoted as Windows expects). The
// result is not valid when the process could not be started.
Process LaunchProcess(const std::wstring& cmdline,
                      const LaunchOptions& options);
Process LaunchProcess(const CommandLine& cmdline, const LaunchOptions& options);

// GetAppOutput's limit.
constexpr TimeDelta kGetAppOutputTimeout = TimeDelta::FromSeconds(60);

// Runs |cmdline| hidden and collects what it writes to standard output into
// |output|. True when it ended within kGetAppOutputTimeout with exit code 0.
bool GetAppOutput(const std::wstring& cmdline, std::string* output);

// As GetAppOutput, with the limit |timeout|. True when the child ended in
// time, whatever its exit code, which goes to |exit_code|. A child still
// running at the limit is killed and the result is false; |output| then
// holds what it wrote so far. |launch_lock| (may be null) is held while the
// inheritable end of the output pipe exists in this process, that is only
// around the child's creation, never while it runs.
bool GetAppOutputWithExitCode(const std::wstring& cmdline,
                              std::string* output,
                              int* exit_code,
                              TimeDelta timeout,
                              Lock* launch_lock = nullptr);

}  // namespace base

#endif  // BASE_PROCESS_LAUNCH_H_
