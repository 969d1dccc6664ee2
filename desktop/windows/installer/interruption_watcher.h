// What ends a backend's run from outside: the front end's
// "InstallationInterrupted" event and the end of the front end's process.
// The watcher tells its owner when either happens while the thread waits
// for tasks, and bounds every blocking wait for a child process by them, so
// that no wait of the run outlives its front end.
//
//   InterruptionWatcher watcher;
//   StepResult started = watcher.Start(
//       install_folder, front_end_pid,
//       base::BindOnce(&Engine::OnInterrupted, weak_this));
//   int exit_code = 0;
//   if (watcher.WaitForChildProcess(child, "the component's installer",
//                                   &exit_code) == ChildWaitResult::kExited)
//     ...
//
// Used on one thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_INTERRUPTION_WATCHER_H_
#define DESKTOP_WINDOWS_INSTALLER_INTERRUPTION_WATCHER_H_

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "base/callback.h"
#include "base/process/process.h"
#include "base/time/time.h"
#include "base/win/object_watcher.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/step_result.h"

namespace base {
class FilePath;
}  // namespace base

namespace installer {

// How a wait for a child process ended.
enum class ChildWaitResult {
  // The child ended; its exit code was read.
  kExited,
  // The wait or the exit code failed (logged).
  kFailed,
  // The wait ended otherwise than by the child, the way out or a failure
  // (logged); the child may still run.
  kUnexpected,
  // The run was interrupted, or its front end ended, first (logged). The
  // child was given kChildExitGrace to end and may still run.
  kAbandoned,
};

class InterruptionWatcher : public base::win::ObjectWatcher::Delegate {
 public:
  // How long a child installer process may take to end by itself once the
  // run it works for was interrupted or its front end ended; it watches the
  // same event and process, so it normally ends at once.
  static constexpr base::TimeDelta kChildExitGrace =
      base::TimeDelta::FromSeconds(10);

  using InterruptedCallback = base::OnceCallback<void(const std::string& why)>;

  // Makes every watcher give a child |grace| in place of kChildExitGrace
  // while it lives. Not thread-safe: set before the code under test runs.
  class ScopedChildExitGraceForTesting {
   public:
    explicit ScopedChildExitGraceForTesting(base::TimeDelta grace);
    ScopedChildExitGraceForTesting(const ScopedChildExitGraceForTesting&) =
        delete;
    ScopedChildExitGraceForTesting& operator=(
        const ScopedChildExitGraceForTesting&) = delete;
    ~ScopedChildExitGraceForTesting();
  };

  InterruptionWatcher();
  InterruptionWatcher(const InterruptionWatcher&) = delete;
  InterruptionWatcher& operator=(const InterruptionWatcher&) = delete;
  ~InterruptionWatcher() override;

  // Opens the interruption event of |install_folder| and the front end's
  // process |front_end_pid| (0: none), and runs |on_interrupted| once when
  // either is signalled. An error when the event cannot be opened or
  // watched; a front end that cannot be watched is logged only.
  StepResult Start(const base::FilePath& install_folder,
                   uint32_t front_end_pid,
                   InterruptedCallback on_interrupted);

  // Waits for |child| to end, or for an interruption (then abandoned, after
  // kChildExitGrace, or the grace a test set). |what| names the child in log lines. On kExited
  // |*exit_code| holds its exit code.
  ChildWaitResult WaitForChildProcess(const base::Process& child,
                                      const std::string& what,
                                      int* exit_code);

  // The handles whose signal ends every wait, for waits of one's own, and
  // what the signal of one of them means.
  std::vector<HANDLE> GetHandles() const;
  std::string Describe(HANDLE handle) const;
  // Whether an interruption has happened already; |*why| then says which.
  bool IsInterrupted(std::string* why) const;

  // Whether a child that was abandoned while it still ran is running now.
  bool AbandonedChildRuns() const;
  base::ProcessId abandoned_child_pid() const { return abandoned_child_.Pid(); }

 private:
  // base::win::ObjectWatcher::Delegate:
  void OnObjectSignaled(HANDLE object) override;

  base::win::ScopedHandle interrupted_event_;
  // The front end (`initial-pid`), while it is known.
  base::Process front_end_process_;
  // A child process abandoned while it still ran.
  base::Process abandoned_child_;
  base::win::ObjectWatcher interrupted_watcher_;
  base::win::ObjectWatcher front_end_watcher_;
  InterruptedCallback on_interrupted_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INTERRUPTION_WATCHER_H_
