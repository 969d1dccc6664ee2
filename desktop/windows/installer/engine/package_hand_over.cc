#include "desktop/windows/installer/engine/package_hand_over.h"

#include <string>

#include "base/command_line.h"
#include "base/logging.h"
#include "base/process/launch.h"
#include "base/synchronization/lock.h"
#include "desktop/windows/installer/engine/run_events.h"
#include "desktop/windows/installer/install_run.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/installer_runner.h"
#include "desktop/windows/installer/package_files.h"
#include "desktop/windows/installer/process/crash_reporter_pid.h"
#include "desktop/windows/installer/process/launch_lock.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"

namespace installer {

PackageHandOver::PackageHandOver(InstallRun* run, RunEvents* events)
    : run_(run), events_(events) {}

PackageHandOver::~PackageHandOver() {
  Stop();
}

StepResult PackageHandOver::WaitForPackage(bool post_elevation) {
  LOG(INFO) << "Need to wait for actual package";
  post_elevation_ = post_elevation;
  const std::wstring name =
      InstallerObjectNames::ForFolder(run_->install_folder())
          .package_ready_event;
  LOG(INFO) << "Event name for package_ready: " << name;
  package_ready_watcher_.StopWatching();
  package_ready_event_.Set(::OpenEventW(SYNCHRONIZE, FALSE, name.c_str()));
  if (!package_ready_event_.IsValid()) {
    PLOG(ERROR) << "OpenEvent failed";
    // A front end that interrupts the run lets go of its events: no error
    // of the run then.
    std::string why;
    if (run_->interruption()->IsInterrupted(&why)) {
      LOG(WARNING) << why << " before the wait for the package";
      return StepResult::Cancelled();
    }
    return StepResult::Error(
        IDS_ERROR_INSTALL,
        "Failed to open a handle to the package ready event");
  }
  if (::WaitForSingleObject(package_ready_event_.Get(), 0) == WAIT_OBJECT_0) {
    LOG(INFO) << "Package is ready";
    return HandOver();
  }
  if (!package_ready_watcher_.StartWatchingOnce(package_ready_event_.Get(),
                                                this)) {
    return StepResult::Error(IDS_ERROR_INSTALL,
                             "Failed to watch the package ready event");
  }
  return StepResult::Later();
}

void PackageHandOver::Stop() {
  package_ready_watcher_.StopWatching();
}

void PackageHandOver::OnObjectSignaled(HANDLE object) {
  LOG(INFO) << "Package is ready";
  events_->OnWaitEnded(HandOver());
}

StepResult PackageHandOver::HandOver() {
  const base::CommandLine& own = run_->command_line();
  const base::FilePath package =
      own.GetSwitchValuePath(switches::kWaitForPackage);
  base::CommandLine command_line = run_->settings()->ToCommandLine(false);
  command_line.SetProgram(package.Append(kPackageInstallerExeName));
  if (post_elevation_)
    command_line.AppendSwitch(switches::kPostElevatedInstallTasks);
  command_line.AppendSwitchASCII(switches::kCrashReporterPid,
                                 GetCrashReporterPidText(own));

  // The run is not finished here: the package's installer works under the
  // folder rights this run holds, which finishing would take back.
  events_->OnChildTakesOver();
  base::win::ScopedHandle confirmed;
  base::Process process;
  if (package.IsAbsolute())
    process = LaunchWithConfirmation(&command_line, &confirmed);
  else
    LOG(ERROR) << "The package folder \"" << package << "\" is not absolute";
  int exit_code = -1;
  ChildWaitResult wait = ChildWaitResult::kFailed;
  if (process.IsValid()) {
    wait = run_->WaitForChildProcess(process, "the package's installer",
                                     &exit_code);
  }
  events_->OnChildReturned();

  if (!process.IsValid()) {
    return StepResult::Error(
        IDS_ERROR_INSTALL,
        "Failed to start installer process from the package folder.");
  }
  if (wait == ChildWaitResult::kAbandoned)
    return StepResult::Cancelled();
  if (wait == ChildWaitResult::kExited && exit_code == 0) {
    if (::WaitForSingleObject(confirmed.Get(), 0) == WAIT_OBJECT_0)
      return StepResult::Succeeded();
    // Any program exits with 0, one ended from outside too (under Wine a
    // killed one does): only the installer that did the work confirms it.
    LOG(ERROR) << "The package's installer exited with 0 without confirming "
                  "that it completed the installation";
    return StepResult::Error(
        IDS_ERROR_INSTALL, "Installer process did not complete successfully.");
  }
  LOG(ERROR) << "The package's installer ended with exit code " << exit_code;
  return StepResult::Error(IDS_ERROR_INSTALL,
                           "Installer process did not complete successfully.");
}

base::Process PackageHandOver::LaunchWithConfirmation(
    base::CommandLine* command_line,
    base::win::ScopedHandle* confirmed) {
  // Inheritable only while the lock keeps every other launch out; the
  // explicit list keeps the child from any other handle.
  base::AutoLock launch_lock(GetProcessLaunchLock());
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, TRUE};
  confirmed->Set(::CreateEventW(&attributes, TRUE, FALSE, nullptr));
  if (!confirmed->IsValid()) {
    PLOG(ERROR) << "Cannot create the event of the hand-over";
    return base::Process();
  }
  command_line->AppendSwitchASCII(
      switches::kHandOverEvent,
      InstallerRunner::EncodeHandleValue(confirmed->Get()));
  LOG(INFO) << "Running installer from the package with command line: "
            << command_line->GetCommandLineString();
  base::LaunchOptions options;
  options.inherit_handles = true;
  options.handles_to_inherit = {confirmed->Get()};
  base::Process process = base::LaunchProcess(*command_line, options);
  // Not inherited by any later child of this process.
  ::SetHandleInformation(confirmed->Get(), HANDLE_FLAG_INHERIT, 0);
  return process;
}

}  // namespace installer
