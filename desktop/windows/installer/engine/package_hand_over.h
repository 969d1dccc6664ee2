// The end of a backend's run that waits for the package the front end still
// downloads (`wait-for-package`): once the front end signals that the
// package is ready, the run is handed over to the package's own
// installer.exe with the run's settings. Its outcome is the run's: a
// success is its exit code 0 together with the confirmation that it
// completed the installation, which it gives by signalling the event whose
// inherited handle it is passed ("hand-over-event"). The run's interruption
// and the front end's end stop the wait.

#ifndef DESKTOP_WINDOWS_INSTALLER_ENGINE_PACKAGE_HAND_OVER_H_
#define DESKTOP_WINDOWS_INSTALLER_ENGINE_PACKAGE_HAND_OVER_H_

#include <windows.h>

#include "base/command_line.h"
#include "base/process/process.h"
#include "base/win/object_watcher.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/step_result.h"

namespace installer {

class InstallRun;
class RunEvents;

class PackageHandOver : public base::win::ObjectWatcher::Delegate {
 public:
  // |run| and |events| must outlive the object.
  PackageHandOver(InstallRun* run, RunEvents* events);
  PackageHandOver(const PackageHandOver&) = delete;
  PackageHandOver& operator=(const PackageHandOver&) = delete;
  ~PackageHandOver() override;

  // Waits for the package; the package's installer then also does the
  // per-user work after an elevated run with |post_elevation|. The outcome
  // of a ready package at once, else StepResult::Later() and the outcome
  // later through RunEvents::OnWaitEnded, or the error that kept the wait
  // from starting.
  StepResult WaitForPackage(bool post_elevation);
  // Stops a wait; nothing is reported for it.
  void Stop();

 private:
  // base::win::ObjectWatcher::Delegate:
  void OnObjectSignaled(HANDLE object) override;

  // Runs the package's installer and waits for it.
  StepResult HandOver();
  // Launches |command_line| with the new event |confirmed| for the child
  // to signal when its run succeeded.
  base::Process LaunchWithConfirmation(base::CommandLine* command_line,
                                       base::win::ScopedHandle* confirmed);

  InstallRun* const run_;
  RunEvents* const events_;
  bool post_elevation_ = false;
  base::win::ScopedHandle package_ready_event_;
  base::win::ObjectWatcher package_ready_watcher_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_ENGINE_PACKAGE_HAND_OVER_H_
